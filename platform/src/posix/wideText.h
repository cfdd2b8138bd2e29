// UTF-8 to wide text, independent of the process locale (the C locale would
// refuse every non-ASCII byte of a path in a loader message).
#pragma once

#include <string>

namespace platform {
namespace posix {

// Decodes UTF-8; a byte that does not start or continue a valid sequence
// (overlong forms, surrogates and values past U+10FFFF included) becomes U+FFFD.
// nullptr gives an empty text.
std::wstring widenUtf8(const char* text);

}  // namespace posix
}  // namespace platform
