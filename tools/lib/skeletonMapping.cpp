#include "tools/lib/skeletonMapping.h"

#include "intake/jointTable.h"

#include <cctype>

namespace ztools {

namespace {

static_assert(kCaptureJoints == kJointCount);

struct Profile {
    const char* name;
    const char* source[kCaptureJoints];
};

// Order: root, torso_1..7, neck_1, neck_2, head, l_shoulder, l_up_arm,
// l_low_arm, l_hand, r_shoulder..r_hand, l_up_leg..l_toes, r_up_leg..r_toes.
const Profile kProfiles[] = {
    {"cmu",
     {"Hips",      "LowerBack",   nullptr,       nullptr,         "Spine",       nullptr,
      nullptr,     "Spine1",      "Neck",        "Neck1",         "Head",        "LeftShoulder",
      "LeftArm",   "LeftForeArm", "LeftHand",    "RightShoulder", "RightArm",    "RightForeArm",
      "RightHand", "LeftUpLeg",   "LeftLeg",     "LeftFoot",      "LeftToeBase", "RightUpLeg",
      "RightLeg",  "RightFoot",   "RightToeBase"}},
    {"cmu-131",
     {"Hips",         "lowerback",  nullptr,     nullptr,       "Chest",         nullptr,
      nullptr,        "Chest2",     "lowerneck", "Neck",        "Head",          "LeftCollar",
      "LeftShoulder", "LeftElbow",  "LeftWrist", "RightCollar", "RightShoulder", "RightElbow",
      "RightWrist",   "LeftHip",    "LeftKnee",  "LeftAnkle",   "LeftToe",       "RightHip",
      "RightKnee",    "RightAnkle", "RightToe"}},
};

bool sameName(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

int findJoint(const BvhSkeleton& s, const char* name) {
    if (!name) return -1;
    for (std::size_t i = 0; i < s.joints.size(); ++i)
        if (sameName(s.joints[i].name, name)) return int(i);
    return -1;
}

bool isAncestor(const BvhSkeleton& s, int ancestor, int joint) {
    for (int j = s.joints[joint].parent; j >= 0; j = s.joints[j].parent)
        if (j == ancestor) return true;
    return false;
}

}  // namespace

std::vector<int> captureParents() {
    std::vector<int> parents;
    for (const JointDefault& row : kJointTable) parents.push_back(row.parentIndex);
    return parents;
}

const char* captureJointName(int joint) {
    return kJointTable[joint].name;
}

bool buildMapping(const BvhSkeleton& skeleton, SkeletonMapping& out, std::string& error) {
    const Profile* best = nullptr;
    int bestCount = 0;
    for (const Profile& p : kProfiles) {
        if (findJoint(skeleton, p.source[0]) < 0) continue;
        int count = 0;
        for (const char* name : p.source) count += findJoint(skeleton, name) >= 0 ? 1 : 0;
        if (count > bestCount) {
            best = &p;
            bestCount = count;
        }
    }
    if (!best) {
        error = "no joint named Hips: the skeleton does not follow a known naming";
        return false;
    }
    out = SkeletonMapping{};
    out.profile = best->name;
    for (int t = 0; t < kCaptureJoints; ++t) out.source[t] = findJoint(skeleton, best->source[t]);

    for (int t = 0; t < kCaptureJoints; ++t) {
        const int s = out.source[t];
        if (s < 0) continue;
        int ancestor = kJointTable[t].parentIndex;
        while (ancestor >= 0 && out.source[ancestor] < 0)
            ancestor = kJointTable[ancestor].parentIndex;
        const int stop = ancestor >= 0 ? out.source[ancestor] : -1;
        if (stop >= 0 && !isAncestor(skeleton, stop, s)) {
            error = "joint " + skeleton.joints[s].name + " does not lie below " +
                    skeleton.joints[stop].name + " as " + kJointTable[t].name + " lies below " +
                    kJointTable[ancestor].name;
            return false;
        }
        std::vector<int>& path = out.path[t];
        for (int j = s; j != stop; j = skeleton.joints[j].parent) path.insert(path.begin(), j);
        Vec3 rest;
        for (int j : path) rest = rest + skeleton.joints[j].offset;
        out.restTranslation[t] = rest;
    }
    return true;
}

CapturePose mapPose(const SkeletonMapping& mapping, const SkeletonPose& source) {
    CapturePose pose;
    for (int t = 0; t < kCaptureJoints; ++t) {
        Quat r;
        Vec3 p;
        for (int j : mapping.path[t]) {
            p = p + rotate(r, source.translations[j]);
            r = r * source.rotations[j];
        }
        pose.rotations[t] = r;
        pose.translations[t] = p;
    }
    return pose;
}

}  // namespace ztools
