#include "platform/DevicePath.h"

#include <cstdio>

namespace vorq::platform {

std::string devicePathOf(const UvcIdentity& identity)
{
    if (!identity.usb) return "\\\\?\\platform#" + identity.driver + "#" + identity.videoNode;
    char ids[40];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x&mi_%02x", identity.vendorId, identity.productId,
                  static_cast<unsigned>(identity.interfaceNumber) & 0xFFu);
    return "\\\\?\\usb#" + std::string(ids) + "#" + identity.busPath + "#" + identity.videoNode;
}

std::string deviceNameOf(const UvcIdentity& identity) { return "@device:pnp:" + devicePathOf(identity); }

} // namespace vorq::platform
