// camfw_flash: the upgrade engine's command line as a program. It hands its
// arguments to the library's exported main, which prints every message to
// standard output (the usage and parser diagnostics to standard error).

#include <dlfcn.h>

#include <cstdio>

using LibraryMain = int (*)(int, char**);

int main(int argc, char** argv)
{
    // This program's own main hides the library's; look past it.
    auto libraryMain = reinterpret_cast<LibraryMain>(dlsym(RTLD_NEXT, "main"));
    if (!libraryMain) {
        std::fprintf(stderr, "camfw_flash: the upgrade engine library is missing its entry point\n");
        return 1;
    }
    // 0 after a successful run and after the usage, 255 (-1) after a failure.
    return libraryMain(argc, argv);
}
