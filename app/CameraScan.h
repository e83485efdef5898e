#pragma once

#include <QList>
#include <QMap>

#include "CameraInfo.h"

// A camera of one scan with its two positions: among the accepted cameras
// (the media engine's number for it) and among all USB cameras (how the
// upgrade engine addresses it).
struct CameraEntry {
    CameraInfo camera;
    int acceptedOrdinal = 0;
    int usbOrdinal = 0;
};

// Key k holds the camera of combo-box row k; keys start at 1.
using CameraTable = QMap<int, CameraEntry>;

// Which cameras of the system list the program offers.
class CameraScan {
public:
    static bool isUsbCamera(const CameraInfo& camera);
    static bool isAccepted(const CameraInfo& camera);

    // Builds the table of the accepted cameras of `system`, in its order, and
    // their list.
    static CameraTable build(const QList<CameraInfo>& system, QList<CameraInfo>& accepted);

    // The key of `camera` in `table`, or 0 when it is not there.
    static int keyOf(const CameraTable& table, const CameraInfo& camera);
};
