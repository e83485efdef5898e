#include "UvcControl.h"

namespace fwflash {

UvcControl::~UvcControl() { xu_.release(); }

} // namespace fwflash
