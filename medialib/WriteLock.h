#pragma once

#include <QMutex>

namespace vorq::media {

// Serialises every write into a recording's container. The encoder loops hold
// it for a whole iteration and take their own frame lock only inside it.
extern QMutex writeLock;

} // namespace vorq::media
