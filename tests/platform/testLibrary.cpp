// A tiny shared library for the loader tests: one exported C function.
#if defined(_WIN32)
#define ZEMORI_TEST_EXPORT __declspec(dllexport)
#else
#define ZEMORI_TEST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" ZEMORI_TEST_EXPORT int zemoriTestAnswer(int value) {
    return value * 2 + 1;
}
