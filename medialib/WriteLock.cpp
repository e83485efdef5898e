#include "WriteLock.h"

namespace vorq::media {

QMutex writeLock;

} // namespace vorq::media
