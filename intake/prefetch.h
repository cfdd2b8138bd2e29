// Hints that memory is about to be read or written, where the walk through
// it is too far apart for the processor to guess. No effect on results.
#pragma once

#include <cstddef>

#if defined(_MSC_VER) && !defined(__clang__)
#include <xmmintrin.h>
#endif

// Asks for the cache line holding `address`, to be read once.
inline void prefetchForReading(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address, 0, 0);
#elif defined(_MSC_VER)
    _mm_prefetch(static_cast<const char*>(address), _MM_HINT_NTA);
#else
    (void)address;
#endif
}

// Asks for the cache lines of `bytes` from `begin`, to be written.
inline void prefetchForWriting(const void* begin, std::size_t bytes) {
    const char* const first = static_cast<const char*>(begin);
    for (std::size_t offset = 0; offset < bytes; offset += 64) {
#if defined(__GNUC__) || defined(__clang__)
        __builtin_prefetch(first + offset, 1, 0);
#elif defined(_MSC_VER)
        _mm_prefetch(first + offset, _MM_HINT_T0);
#else
        (void)first;
#endif
    }
}
