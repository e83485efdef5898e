// The exported command line. Kept apart from the other exports so that a
// program linking the engine statically keeps its own main.

#include "Exports.h"

extern "C" __attribute__((visibility("default"))) int main(int argc, char** argv)
{
    return fwflash::runMain(argc, argv);
}
