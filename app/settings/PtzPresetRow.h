#pragma once

#include <functional>

#include <QImage>
#include <QList>
#include <QWidget>

#include "PtzPresets.h"

class QPushButton;
class QTimer;

// The row of preset slots on the video page: a click recalls a slot, a long
// press or its "Save position" menu entry stores where the camera points now
// with a picture of the preview. Ctrl+1..6 recall, Ctrl+Shift+1..6 save.
class PtzPresetRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLongPressMs = 700;

    explicit PtzPresetRow(QWidget* parent = nullptr);

    // The camera the slots act on (borrowed; null while none) and its key.
    void setCamera(IAMCameraControl* control, const QString& cameraKey);
    // Where the thumbnail comes from: the latest preview picture.
    void setFrameSource(std::function<QImage()> source) { frameSource_ = std::move(source); }
    // The shortcuts act in `window` whichever page is shown.
    void installShortcuts(QWidget* window);

    // Slots count from 1; false when nothing was done.
    bool recall(int slot);
    bool save(int slot);

    QPushButton* slotButton(int slot) const { return buttons_.value(slot - 1); }

private:
    void refreshSlot(int slot);
    void pressed(int slot);
    void released(int slot);

    QList<QPushButton*> buttons_;
    QTimer* longPress_ = nullptr;
    int pressedSlot_ = 0;
    IAMCameraControl* control_ = nullptr;
    PtzPresets presets_;
    std::function<QImage()> frameSource_;
};
