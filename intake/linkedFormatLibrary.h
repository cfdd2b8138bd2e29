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
    return entries;
}
