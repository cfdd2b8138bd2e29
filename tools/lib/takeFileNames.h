// The files of a take named by the stage: a Name as the capture application
// sent it becomes a file name that is safe on every system, and a take
// never overwrites the files of another.
#pragma once

#include <string>
#include <vector>

namespace ztools {

// Every character but letters, digits, '-', '_' and '.' becomes '_' (each
// byte of a multi-byte character). A name that is empty or only dots
// becomes take<takeNumber>; a name Windows keeps for a device (CON, NUL,
// COM1, ...) gets a leading '_'; a trailing dot (which Windows drops)
// becomes '_'; the result is cut to 100 characters.
std::string safeTakeName(const std::string& name, int takeNumber);

// The first of `folder`/`base`, `base`_2, `base`_3, ... of which no file
// with any of `extensions` (".ma", ...) exists: the path without the
// extension. All the files of one take share the suffix.
std::string unusedTakePath(const std::string& folder, const std::string& base,
                           const std::vector<std::string>& extensions);

}  // namespace ztools
