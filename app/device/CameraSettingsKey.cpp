#include "device/CameraSettingsKey.h"

#include <cstdio>

#include "platform/DevicePath.h"
#include "platform/DeviceProvider.h"

using namespace vorq::platform;

QString CameraSettingsKey::of(const QString& deviceName)
{
    const std::string wanted = deviceName.toStdString();
    for (const auto& device : DeviceProvider::enumerate()) {
        const UvcIdentity& id = device->identity();
        if (deviceNameOf(id) != wanted) continue;
        if (!id.serial.empty()) return QString::fromStdString(id.serial);
        char ids[16];
        std::snprintf(ids, sizeof ids, "%04x-%04x", id.vendorId, id.productId);
        return QStringLiteral("%1@%2").arg(QString::fromLatin1(ids),
                                           QString::fromStdString(id.usb ? id.busPath : id.videoNode));
    }
    return QString();
}
