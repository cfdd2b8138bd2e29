// Scenes as Maya ASCII files: the text `file -save` writes, which the MEL
// runner reads back as a script (`file -open`).
#pragma once

#include "mel/value.h"

#include <string>
#include <vector>

namespace mayahost {
namespace mel {

// The whole scene as Maya ASCII: header, requires, units, then each node
// with its dynamic attributes and the stored values that differ from their
// defaults, parents before children, then the connections. `fileName` goes
// into the header comments only.
std::string writeSceneText(const std::string& fileName);

// Keys given as a scene file gives them, `setAttr -s 3 ".ktv[0:2]" t v t v
// t v` (times in the UI unit, values in UI units): added to the curve.
// False, with nothing done, when the plug is not a curve's keyTimeValue.
bool setCurveKeys(const std::string& plug, const std::vector<Value>& values);

// A text as a MEL string literal, quotes and backslashes escaped.
std::string quoted(const std::string& text);

// The shortest decimal text that reads back as the same double.
std::string exactNumber(double value);

}  // namespace mel
}  // namespace mayahost
