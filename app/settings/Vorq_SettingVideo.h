#pragma once

#include <memory>

#include <QString>
#include <QWidget>

#include "CameraInfo.h"
#include "KeptCameraSettings.h"

class PtzPresetRow;
class QLabel;
class QSlider;
class SettingVideoForm;

// The video settings page: moves the camera (pan, tilt, zoom, home), flips
// the picture, sets exposure, contrast, red and blue shift and the image
// style, opens the properties dialog, restores the factory settings and
// reports the firmware version. Every setting lives on the camera; the page
// reads them when a camera starts and writes each change at once.
class Vorq_SettingVideo : public QWidget {
    Q_OBJECT
public:
    explicit Vorq_SettingVideo(QWidget* parent = nullptr);
    ~Vorq_SettingVideo() override;

    // Stores the camera and wires the widgets to the slots; called once.
    void connectControls(const CameraInfo& camera);
    void setCameraInfo(const CameraInfo& camera);
    // Opens the camera's property access by device name, refreshes, then
    // writes back what the user set on this camera before.
    void bindCamera();
    // Reads the device information and every setting from the camera.
    void refreshSettings();

    CameraInfo cameraInfo() const { return cameraInfo_; }
    bool captureOn() const { return captureOn_; }
    QString lastCameraName() const { return lastCameraName_; }
    const SettingVideoForm& form() const { return *ui_; }
    const KeptCameraSettings& keptSettings() const { return kept_; }
    PtzPresetRow* presetRow() const { return presets_; }

    // The firmware text shown for a camera's device information
    // ("<model>:<version>:..."): "FW: " before the version for the models
    // that label it so.
    static QString versionText(const QByteArray& deviceInfo, const QString& description);

signals:
    void versionInfo(QString info);
    void checkUpStatus(bool status);

public slots:
    void captureState(bool state);
    void pushButton_home_pressed();
    void pushButton_left_pressed();
    void pushButton_left_released();
    void pushButton_right_pressed();
    void pushButton_right_released();
    void pushButton_up_pressed();
    void pushButton_up_released();
    void pushButton_down_pressed();
    void pushButton_down_released();
    void pushButton_zoomin_pressed();
    void pushButton_zoomin_released();
    void pushButton_zoomout_pressed();
    void pushButton_zoomout_released();
    void pushButton_FlipV_checked(bool checked);
    void pushButton_FlipH_checked(bool checked);
    void horizontalSlider_sliderMoved(int position);
    void horizontalSlider_DRC_sliderMoved(int position);
    void horizontalSlider_BG_sliderMoved(int position);
    void horizontalSlider_RG_sliderMoved(int position);
    void on_checkBox_Meeting_stateChanged(int arg1);
    void on_checkBox_Live_stateChanged(int arg1);
    void Get_style();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // What a held pad or zoom button keeps moving.
    enum class Motion { None, Pan, Tilt, Zoom };

    void startPanTilt(long property, int direction, Motion motion);
    void stopPanTilt(long property);
    void sendZoom(int8_t direction);
    // Stops whatever a held button moves: a motion must never outlive the
    // hold, even when the release never arrives.
    void stopHeldMotion();
    // The arrow keys and + and - on a focused pad button act as holding the
    // matching button; true when the event was one of them.
    bool padKeyEvent(QEvent* event);
    void activateLink(QObject* link);
    // Keys, the wheel and clicks beside the handle move a slider without
    // sliderMoved; they are written like a drag.
    void connectSliderSteps(QSlider* slider, QLabel* label, void (Vorq_SettingVideo::*moved)(int));

    void placeValueLabel(QSlider* slider, QLabel* label, int position);
    void hideValueLabelLater(QSlider* slider, QLabel* label);
    void colourShiftMoved(QSlider* slider, QLabel* label, uint32_t selector, int position);
    void writeByte(uint32_t selector, uint8_t value);
    void setCaptionsEnabled(bool enabled);
    void restoreKeptSettings();

    std::unique_ptr<SettingVideoForm> ui_;
    QString lastCameraName_;
    bool captureOn_ = false;
    CameraInfo cameraInfo_;
    Motion heldMotion_ = Motion::None;
    // The pad key held down now, 0 for none: one key moves at a time.
    int heldKey_ = 0;
    bool controlsConnected_ = false;
    KeptCameraSettings kept_;
    PtzPresetRow* presets_ = nullptr;
    // Set while the page writes what it read from the camera or kept for it:
    // only the user's own changes are kept.
    bool applyingCameraValues_ = false;
};
