// Writes valid datagrams of both kinds, built with the encoder, into the
// folder given as the only argument: the fuzzers' starting corpus.
#include "ostrevo/ostrevo.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<OsvJointPose> poses(int count, float phase) {
    std::vector<OsvJointPose> out(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const float a = phase + 0.1f * static_cast<float>(i);
        out[i] = OsvJointPose{{0.0f, std::sin(a), 0.0f, std::cos(a)}, {0.01f * i, 0.05f, -0.02f}};
    }
    return out;
}

bool writeFile(const std::string& path, const char* bytes, int size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return false;
    }
    const bool ok =
        std::fwrite(bytes, 1, static_cast<std::size_t>(size), f) == static_cast<std::size_t>(size);
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    static char buffer[OSV_MAX_DATAGRAM_BYTES];
    int written = 0;
    for (int count : {0, 1, 27, OSV_MAX_JOINTS}) {
        const auto p = poses(count, 0.25f * count);
        const OsvSkeletonDefinition d{7, 1, 11, 1000, count, p.data()};
        const int n = OsvEncodeSkeletonDefinition(&d, buffer, sizeof buffer);
        if (n < 0 || !writeFile(folder + "/definition-" + std::to_string(count), buffer, n)) {
            return 1;
        }
        ++written;
        // A run of frames 1/60 s apart, so that the store's rate detection
        // is reached from the start.
        for (int frame = 0; frame < 3; ++frame) {
            const OsvFrameData f{7,     2u + frame, 41 + frame, 1.5f, 7.0 + frame / 60.0,
                                 count, nullptr,    p.data()};
            const int m = OsvEncodeFrameData(&f, buffer, sizeof buffer);
            const std::string name =
                folder + "/frame-" + std::to_string(count) + "-" + std::to_string(frame);
            if (m < 0 || !writeFile(name, buffer, m)) {
                return 1;
            }
            ++written;
        }
        // Version 3: the same run with a 29.97 drop-frame timecode, the
        // second frame on the label after a skipped pair.
        for (int frame = 0; frame < 3; ++frame) {
            const OsvFrameData f{7,     5u + frame, 44 + frame, 1.5f, 8.0 + frame / 60.0,
                                 count, nullptr,    p.data()};
            const OsvTimecode t{10,
                                static_cast<std::uint8_t>(frame == 0 ? 0 : 1),
                                static_cast<std::uint8_t>(frame == 0 ? 59 : 0),
                                static_cast<std::uint8_t>(frame == 0 ? 29 : frame + 1),
                                static_cast<std::uint8_t>(frame),
                                OSV_TIMECODE_RATE_29_97,
                                OSV_TIMECODE_PRESENT | OSV_TIMECODE_DROP_FRAME,
                                0};
            const int m = OsvEncodeFrameDataWithTimecode(&f, &t, buffer, sizeof buffer);
            const std::string name =
                folder + "/timecode-" + std::to_string(count) + "-" + std::to_string(frame);
            if (m < 0 || !writeFile(name, buffer, m)) {
                return 1;
            }
            ++written;
        }
    }
    std::printf("%d seed datagrams in %s\n", written, folder.c_str());
    return 0;
}
