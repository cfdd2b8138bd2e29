// Finds, loads and releases the motion-format library at run time and fills
// the module-wide table gFormatLibrary. Runs on the host's main thread while
// the plug-in loads or unloads, when no node exists.
#pragma once

#include <maya/MString.h>

#include <string>

// The library file two levels above the load path, joined as given (forward
// slashes, ".." left for the system):
// <loadPath>/../../Ostrevo/<system>/x64/<library file>.
std::string formatLibraryPath(const std::string& loadPath);

// Loads the library and resolves its five functions, and the timecode
// export where the library has it (no report when it does not). Does nothing when a
// library is held already. Every failure is reported to the user (MEL error,
// queued) and leaves the table empty: a file that cannot be loaded prints the
// system's reason on the console and reports it once; a missing function is
// reported once for itself and once for every function looked up after it.
void loadFormatLibrary(const char* loadPath);
inline void loadFormatLibrary(const MString& loadPath) {
    loadFormatLibrary(loadPath.asChar());
}

// One step of loadFormatLibrary: loads the file at the stored load path into
// the table's module handle. False, after both reports, when it cannot.
bool openFormatLibrary();

// Frees a held library and empties the table; nothing when none is held.
void unloadFormatLibrary();

// The load path of the last loadFormatLibrary call that got past the guard.
const std::string& pluginLoadPath();
