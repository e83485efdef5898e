#pragma once

#include "CVorqUvcUpgrade.h"

namespace fwflash {

// The library's one engine, shared by every entry point.
CVorqUvcUpgrade& theEngine();

// The command line behind the exported "main".
int runMain(int argc, char** argv);

} // namespace fwflash
