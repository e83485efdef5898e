#pragma once

// Entry points of the firmware upgrade engine, as a host program resolves them
// from libcamfw_flash.so.

#ifdef __cplusplus
extern "C" {
#endif

// printf-style output; every message of a run comes back through it.
typedef int (*CamfwPrintCallback)(const char* format, ...);

// mode 1 runs "main" with {a1, a2}, mode 2 with {a1, a2, a3, a4}; any other mode
// runs nothing. Returns the library's (empty) result text.
__attribute__((visibility("default"))) const char* upgrade(int mode, const char* a1, const char* a2, const char* a3,
                                                           const char* a4, CamfwPrintCallback print);

__attribute__((visibility("default"))) int sum(int a, int b);
__attribute__((visibility("default"))) int multi(int a, int b);
__attribute__((visibility("default"))) const char* test1(void);

// The library also exports "main(int argc, char** argv)": the command line
// itself. It is not declared here so that a program including this header keeps
// its own main; resolve it with dlsym.

#ifdef __cplusplus
}
#endif
