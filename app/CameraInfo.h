#pragma once

#include <QList>
#include <QString>

// One video input device as the system lists it: the device name
// ("@device:pnp:\\?\usb#vid_9f2b&pid_0042&mi_00#1-4#/dev/video0") and the
// friendly name the user sees and the media engine opens by.
class CameraInfo {
public:
    CameraInfo() = default;
    CameraInfo(const QString& deviceName, const QString& description)
        : deviceName_(deviceName), description_(description)
    {
    }

    QString deviceName() const { return deviceName_; }
    QString description() const { return description_; }
    bool isNull() const { return deviceName_.isEmpty(); }

    bool operator==(const CameraInfo& other) const
    {
        return deviceName_ == other.deviceName_ && description_ == other.description_;
    }
    bool operator!=(const CameraInfo& other) const { return !(*this == other); }

    // The video input devices of the system, in the order the device walk
    // gives them.
    static QList<CameraInfo> availableCameras();

private:
    QString deviceName_;
    QString description_;
};
