// Test support, preloaded into a program: mkostemp as the C library has it, but lingering
// for a moment once the file exists, so that a test can signal the program between an
// output's temporary appearing and the program listing it for removal.
#include <dlfcn.h>
#include <unistd.h>

extern "C" int mkostemp(char* pattern, int flags) {
    using Real = int (*)(char*, int);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "mkostemp"));
    const int descriptor = real(pattern, flags);
    usleep(300000);
    return descriptor;
}
