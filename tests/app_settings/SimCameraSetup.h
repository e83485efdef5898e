#pragma once

#include <QSlider>
#include <QStringList>
#include <QTemporaryDir>

#include "../support/PrivateHome.h"
#include "AnsweringDialogs.h"
#include "CameraInfo.h"

// The built-in simulated camera(s) in a state directory of their own, with
// the transfer trace read back one line per transfer: "SET 4/24 01",
// "GET 4/9", "LEN 4/9", "ctrl PAN_SPEED=5", "get CONTRAST"; a failed
// transfer ends with " !<errno>". A fresh camera comes with a fresh home, so
// the settings the program keeps per camera start empty too.
class SimCameraSetup {
public:
    explicit SimCameraSetup(const QByteArray& config = "reboot_ms=600\n");
    ~SimCameraSetup();
    SimCameraSetup(const SimCameraSetup&) = delete;
    SimCameraSetup& operator=(const SimCameraSetup&) = delete;

    // Replaces sim.conf; the cameras pick it up at their next transfer.
    void configure(const QByteArray& config);
    // Simulated camera `index` as the window would hand it over; null while
    // it is not listed.
    CameraInfo info(int index = 0, const QString& description = QStringLiteral("TELDORA TX42")) const;
    bool listed() const { return !info().isNull(); }

    // Trace lines of `device` since the last take (lines of other devices
    // are dropped); an empty device takes every line, as "cam1 SET 4/24 01".
    QStringList takeLog(const QString& device = QStringLiteral("cam0"));
    // Only the lines that change the camera (SET and ctrl).
    QStringList takeWrites(const QString& device = QStringLiteral("cam0"));

    AnsweringDialogs dialogs;
    const PrivateHome home;

private:
    QTemporaryDir dir_;
    QString tracePath_;
    qint64 traceOffset_ = 0;
};

// What a user's drag does: sliderMoved at the position, then sliderReleased.
inline void drag(QSlider* slider, int position)
{
    slider->setSliderDown(true);
    slider->setSliderPosition(position);
    slider->setSliderDown(false);
}

// Compares two lists of lines and shows both in full when they differ.
#define QCOMPARE_LINES(actual, expected) \
    QCOMPARE(QStringList(actual).join(QLatin1String(" | ")), QStringList(expected).join(QLatin1String(" | ")))
