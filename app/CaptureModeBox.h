#pragma once

#include <vector>

#include <QComboBox>
#include <QString>

#include "platform/UvcDevice.h"

// The capture-mode selector beside the preview switch: one row per format,
// frame size and frame rate the camera offers.
class CaptureModeBox : public QComboBox {
    Q_OBJECT
public:
    struct Mode {
        QString format; // FFmpeg's name: "mjpeg", "yuyv422"
        int width = 0;
        int height = 0;
        double frameRate = 0;
    };

    explicit CaptureModeBox(QWidget* parent = nullptr);

    // Lists `offered` and selects `kept` when offered, else the mode nearest
    // to MJPEG 800x600 at 30. No signal is emitted.
    void setModes(const std::vector<vorq::platform::CaptureMode>& offered, const QString& kept);
    // False when no mode is listed.
    bool currentMode(Mode& mode) const;

    // Shown and hidden with `leader` (the preview switch), and only while
    // it has modes to offer.
    void followVisibility(QWidget* leader);

    // "mjpeg 1280x720@30": how a choice is kept.
    static QString keyOf(const Mode& mode);
    static bool parseKey(const QString& key, Mode& mode);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The user picked another mode.
    void modeChosen();

private:
    void updateVisibility();

    int lastRow_ = -1;
    QWidget* leader_ = nullptr;
};
