// A take of the 27-joint capture skeleton, sampled at the rate it is sent
// at: frame i is the pose at i / fps seconds. Lengths in centimetres.
#pragma once

#include "tools/lib/bvhFile.h"
#include "tools/lib/skeletonMapping.h"

#include <array>
#include <string>
#include <vector>

namespace ztools {

// Length of one unit of the CMU takes: the database's ASF files use
// "length 0.45", i.e. one unit is 1/0.45 inch. The bundled take's hips stand
// about 17 units high, 96 cm with this unit.
inline constexpr double kCmuUnitCm = 2.54 / 0.45;

struct CaptureTake {
    int fps = 60;
    std::string source;                             // the file it came from, or "synthetic"
    std::array<Vec3, kCaptureJoints> definition{};  // rest translations
    std::vector<CapturePose> frames;                // translations in cm
};

// Resamples a BVH take to `fps` (slerp rotations, lerp translations) over at
// most `maxSeconds` (0: all of it) and maps it onto the capture skeleton;
// lengths are scaled by `unitCm` centimetres per file unit. The rest pose has
// its arms along X (see layArmsAlongX), as HumanIK's T-stance wants; the
// joints' positions in every frame are the capture's.
bool takeFromBvh(const BvhMotion& motion, int fps, double unitCm, double maxSeconds,
                 CaptureTake& out, std::string& error);

// The source's own poses at the take's frame times, for comparisons:
// same resampling as takeFromBvh, lengths in file units.
SkeletonPose sourcePoseForFrame(const BvhMotion& motion, int fps, int frameIndex);
int resampledFrameCount(const BvhMotion& motion, int fps, double maxSeconds);

// A built-in motion on the default skeleton of the joint table: every joint
// swinging on its own axis and phase, the root walking a circle.
CaptureTake syntheticTake(int fps, double seconds);

// Joint positions (cm) of a take frame: root from the frame, the other
// joints from the rest translations, as the receiving node uses them.
std::vector<Vec3> captureJointPositions(const std::array<Vec3, kCaptureJoints>& definition,
                                        const CapturePose& pose);

}  // namespace ztools
