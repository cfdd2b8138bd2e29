// Writes animation curves as a Maya ASCII scene: one animCurveTL node per
// translation curve and one animCurveTA per rotation curve (names ending in
// _rx, _ry, _rz; values in the file's degrees), written as the host writes
// them, importable into Maya 2023.
#pragma once

#include "tools/lib/recordedTake.h"

#include <string>
#include <vector>

namespace ztools {

// The host's name of a time unit of `fps` frames per second ("ntsc" for 30,
// "palf" for 50, "ntscf" for 60, "<n>fps" for rates without a name).
std::string mayaTimeUnit(int fps);

// The scene text. `fileName` goes into the header comment only. Curve names
// must be valid node names (letters, digits, underscores).
std::string writeMayaAscii(const std::vector<TakeCurve>& curves, int fps,
                           const std::string& fileName);
bool writeMayaAsciiFile(const std::string& path, const std::vector<TakeCurve>& curves, int fps,
                        std::string& error);

}  // namespace ztools
