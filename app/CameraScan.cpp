#include "CameraScan.h"

namespace {
const QString kUsbPrefix = QStringLiteral("pnp:\\\\?\\usb#vid_");
const QString kVendorPrefix = QStringLiteral("pnp:\\\\?\\usb#vid_9f2b");
const QString kBrand = QStringLiteral("TELDORA");
} // namespace

bool CameraScan::isUsbCamera(const CameraInfo& camera)
{
    return camera.deviceName().contains(kUsbPrefix, Qt::CaseSensitive);
}

bool CameraScan::isAccepted(const CameraInfo& camera)
{
    return isUsbCamera(camera) && camera.deviceName().contains(kVendorPrefix, Qt::CaseSensitive) &&
           camera.description().contains(kBrand, Qt::CaseSensitive);
}

CameraTable CameraScan::build(const QList<CameraInfo>& system, QList<CameraInfo>& accepted)
{
    CameraTable table;
    accepted.clear();
    int key = 1;
    int acceptedOrdinal = 0;
    int usbOrdinal = 0;
    for (const CameraInfo& camera : system) {
        if (!isUsbCamera(camera)) continue;
        if (isAccepted(camera)) {
            accepted.append(camera);
            table.insert(key++, CameraEntry{camera, acceptedOrdinal++, usbOrdinal});
        }
        ++usbOrdinal;
    }
    return table;
}

int CameraScan::keyOf(const CameraTable& table, const CameraInfo& camera)
{
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        if (it->camera == camera) return it.key();
    return 0;
}
