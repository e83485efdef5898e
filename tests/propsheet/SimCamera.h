#pragma once

#include <QStringList>
#include <QTemporaryDir>

#include "platform/ComPtr.h"

// The built-in simulated camera in a state directory of its own, with the
// control writes it received read back from its trace as "BRIGHTNESS=17".
class SimCamera {
public:
    SimCamera();
    ~SimCamera();
    SimCamera(const SimCamera&) = delete;
    SimCamera& operator=(const SimCamera&) = delete;

    // Its name as the program knows it; empty when it is not listed.
    QString deviceName() const;
    // A filter of its own on the camera, bound through the device walk.
    ComPtr<IBaseFilter> bindFilter() const;
    QStringList takeWrites();

private:
    QTemporaryDir dir_;
    QString tracePath_;
    qint64 traceOffset_ = 0;
};
