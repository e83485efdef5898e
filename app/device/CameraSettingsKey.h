#pragma once

#include <QString>

// The name under which the program keeps a camera's settings: its USB serial
// number, which stays the same across replugs, reboots and USB ports. A
// camera without one is known by vendor, product and USB port instead.
class CameraSettingsKey {
public:
    // Looks the camera up in the device walk by its device name; empty when
    // it is not listed (gone already).
    static QString of(const QString& deviceName);
};
