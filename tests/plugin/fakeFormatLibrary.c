/* A motion-format library that may lack some of its five functions, for the
 * loader's tests. OMIT_IS_FRAME_DATA_BYTES and OMIT_CONVERT_FRAME_DATA drop
 * one function each. The functions recognise nothing. */
#include <stdbool.h>
#include <stdint.h>

#if defined(_WIN32)
#define FAKE_API __declspec(dllexport)
#else
#define FAKE_API __attribute__((visibility("default")))
#endif

FAKE_API bool IsOsvBytes(int32_t length, const char* bytes) {
    (void)length;
    (void)bytes;
    return false;
}

FAKE_API bool IsSkeletonDefinitionBytes(int32_t length, const char* bytes) {
    (void)length;
    (void)bytes;
    return false;
}

#ifndef OMIT_IS_FRAME_DATA_BYTES
FAKE_API bool IsFrameDataBytes(int32_t length, const char* bytes) {
    (void)length;
    (void)bytes;
    return false;
}
#endif

FAKE_API bool ConvertBytesToSkeletonDefinition(int32_t length, const char* bytes, uint64_t* a,
                                               uint32_t* b, int32_t* c, uint64_t* d, uint64_t* e,
                                               const float** f, const float** g, const float** h,
                                               const float** i, const float** j, const float** k,
                                               const float** l) {
    (void)length, (void)bytes, (void)a, (void)b, (void)c, (void)d, (void)e;
    (void)f, (void)g, (void)h, (void)i, (void)j, (void)k, (void)l;
    return false;
}

#ifndef OMIT_CONVERT_FRAME_DATA
FAKE_API bool ConvertBytesToFrameData(int32_t length, const char* bytes, uint64_t* a, uint32_t* b,
                                      int32_t* c, float* d, double* e, int32_t* f,
                                      const int32_t** g, const float** h, const float** i,
                                      const float** j, const float** k, const float** l,
                                      const float** m, const float** n) {
    (void)length, (void)bytes, (void)a, (void)b, (void)c, (void)d, (void)e, (void)f;
    (void)g, (void)h, (void)i, (void)j, (void)k, (void)l, (void)m, (void)n;
    return false;
}
#endif
