// Biovision Hierarchy (BVH) files: a joint hierarchy with offsets and
// channels, then one line of channel values per frame.
#pragma once

#include "tools/lib/poseMath.h"

#include <string>
#include <vector>

namespace ztools {

enum class BvhChannel { kXposition, kYposition, kZposition, kXrotation, kYrotation, kZrotation };

struct BvhJoint {
    std::string name;
    int parent = -1;  // index into BvhSkeleton::joints; -1 for the root
    Vec3 offset;      // file units
    std::vector<BvhChannel> channels;
    int firstChannel = 0;  // column of the first channel in a frame line
    bool hasEndSite = false;
    Vec3 endSite;
};

struct BvhSkeleton {
    std::vector<BvhJoint> joints;  // parents always before children
    int channelCount = 0;
    // Index of the joint with this name, or -1.
    int find(const std::string& name) const;
};

struct BvhMotion {
    BvhSkeleton skeleton;
    double frameTime = 0.0;  // seconds per frame
    int frameCount = 0;
    std::vector<double> values;  // frameCount rows of channelCount values
    const double* frame(int index) const {
        return values.data() + std::size_t(index) * skeleton.channelCount;
    }
};

// Parses a BVH text. Fails (false, with a message naming the line) on
// malformed structure, unknown channels, too few values, a non-positive
// frame time, more than 4096 joints or frames beyond the values given.
bool parseBvh(const std::string& text, BvhMotion& out, std::string& error);
bool readBvhFile(const std::string& path, BvhMotion& out, std::string& error);

// Writes a BVH text that parseBvh reads back to the same values (numbers
// printed with enough digits to round-trip doubles).
std::string writeBvh(const BvhMotion& motion);
bool writeBvhFile(const std::string& path, const BvhMotion& motion, std::string& error);

}  // namespace ztools
