#include "CameraInfo.h"

#include "device/VideoInputWalk.h"

QList<CameraInfo> CameraInfo::availableCameras()
{
    QList<CameraInfo> cameras;
    for (const auto& device : VideoInputWalk::devices())
        cameras.append(CameraInfo(QString::fromStdString(device.deviceName), QString::fromStdString(device.friendlyName)));
    return cameras;
}
