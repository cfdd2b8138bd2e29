#include "intake/formatLibraryLoader.h"

#include "intake/formatLibrary.h"
#include "platform/dynamicLibrary.h"
#include "plugin/messageTable.h"
#include "plugin/uiBridge.h"

#include <cwchar>
#include <string>

namespace {

std::string gPluginLoadPath;

void clearTable() {
    gFormatLibrary = FormatLibraryEntryPoints{};
}

// Looks the function up and stores it; a lookup without a module finds
// nothing, so after one missing function every later one is reported too.
template <typename Fn>
void resolve(Fn& entry, const char* name) {
    void* address = gFormatLibrary.module != nullptr
                        ? platform::findSymbol(gFormatLibrary.module, name)
                        : nullptr;
    entry = reinterpret_cast<Fn>(address);
    if (address != nullptr) return;
    postError(lookupMessage(msg::kOsvFunctionImportError));
    if (gFormatLibrary.module != nullptr) {
        platform::freeLibrary(gFormatLibrary.module);
        clearTable();
    }
}

}  // namespace

std::string formatLibraryPath(const std::string& loadPath) {
    return loadPath + "/../../" + "Ostrevo" + "/" + platform::systemFolderName() + "/" + "x64" +
           "/" + platform::formatLibraryFileName();
}

const std::string& pluginLoadPath() {
    return gPluginLoadPath;
}

bool openFormatLibrary() {
    const std::string path = formatLibraryPath(gPluginLoadPath);
    gFormatLibrary.module = platform::loadLibrary(path.c_str());
    if (gFormatLibrary.module != nullptr) return true;
    std::wstring reason = platform::lastLoadErrorText();
    // System texts end in a line break of their own (FormatMessageW's do);
    // the message supplies the one line break of the console line.
    while (!reason.empty() && std::wcschr(L"\r\n \t", reason.back()) != nullptr) {
        reason.pop_back();
    }
    const MString format = lookupMessage(msg::kOsvLinkError);
    printWideToConsole(format.asWChar(), reason.c_str());
    postError(lookupMessage(msg::kOsvImportError));
    return false;
}

void loadFormatLibrary(const char* loadPath) {
    if (gFormatLibrary.module != nullptr) return;
    gPluginLoadPath = loadPath != nullptr ? loadPath : "";
    if (!openFormatLibrary()) return;
    resolve(gFormatLibrary.isOsvBytes, "IsOsvBytes");
    resolve(gFormatLibrary.isSkeletonDefinitionBytes, "IsSkeletonDefinitionBytes");
    resolve(gFormatLibrary.isFrameDataBytes, "IsFrameDataBytes");
    resolve(gFormatLibrary.convertBytesToSkeletonDefinition, "ConvertBytesToSkeletonDefinition");
    resolve(gFormatLibrary.convertBytesToFrameData, "ConvertBytesToFrameData");
    // Looked up without a report: a library built before timecode lacks it.
    if (gFormatLibrary.module != nullptr) {
        gFormatLibrary.convertBytesToFrameTimecode =
            reinterpret_cast<ConvertBytesToFrameTimecodeFn>(
                platform::findSymbol(gFormatLibrary.module, "ConvertBytesToFrameTimecode"));
    }
}

void unloadFormatLibrary() {
    if (gFormatLibrary.module == nullptr) return;
    platform::freeLibrary(gFormatLibrary.module);
    clearTable();
}
