// The motion-format library linked into a program (tests, benchmarks, fuzz
// targets) as the entries of the table. Only for programs that link the
// library; the plug-in loads it instead.
#pragma once

#include "intake/formatLibrary.h"
#include "ostrevo/ostrevo.h"

namespace linkedFormatLibraryDetail {

// The library's functions answer bool, the table's entries a byte: each is
// called through a function of the entry's type, so no call goes through a
// pointer of another function type, and a table signature that drifts from
// the library's does not compile.
template <auto function>
struct AnswerAsByte;
template <typename... Args, bool (*function)(Args...)>
struct AnswerAsByte<function> {
    static LibraryAnswer call(Args... args) {
        return static_cast<LibraryAnswer>(function(args...));
    }
};

// The library's timecode and the plug-in's are the same 8 bytes.
static_assert(sizeof(OsvTimecode) == sizeof(FrameTimecode));
inline LibraryAnswer frameTimecode(std::int32_t length, const char* bytes,
                                   FrameTimecode* timecode) {
    OsvTimecode read{};
    if (!ConvertBytesToFrameTimecode(length, bytes, timecode != nullptr ? &read : nullptr)) {
        return 0;
    }
    if (timecode != nullptr) {
        *timecode = FrameTimecode{read.hours,    read.minutes, read.seconds, read.frames,
                                  read.subframe, read.rate,    read.flags,   read.reserved};
    }
    return 1;
}

}  // namespace linkedFormatLibraryDetail

inline FormatLibraryEntryPoints linkedFormatLibrary(void* module = nullptr) {
    using linkedFormatLibraryDetail::AnswerAsByte;
    FormatLibraryEntryPoints entries;
    entries.module = module;
    entries.isOsvBytes = &AnswerAsByte<&IsOsvBytes>::call;
    entries.isSkeletonDefinitionBytes = &AnswerAsByte<&IsSkeletonDefinitionBytes>::call;
    entries.isFrameDataBytes = &AnswerAsByte<&IsFrameDataBytes>::call;
    entries.convertBytesToSkeletonDefinition =
        &AnswerAsByte<&ConvertBytesToSkeletonDefinition>::call;
    entries.convertBytesToFrameData = &AnswerAsByte<&ConvertBytesToFrameData>::call;
    entries.convertBytesToFrameTimecode = &linkedFormatLibraryDetail::frameTimecode;
    return entries;
}
