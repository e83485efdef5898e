#pragma once

#include <cstdint>
#include <memory>

#include <QImage>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <QTime>

#include "CameraInfo.h"
#include "CameraScan.h"

class QButtonGroup;
class QTimer;
class Vorq_CamForm;
class Vorq_Medialib;
class Vorq_SettingVideo;
class Vorq_settingAI;
class Vorq_settingAudio;
class Vorq_settingUpgrade;
class VolumePopup;

// The main window: picks a camera, previews it, takes snapshots and records,
// sets the speaker and microphone levels, and hosts the settings pages.
class Vorq_Cam : public QMainWindow {
    Q_OBJECT
public:
    explicit Vorq_Cam(QWidget* parent = nullptr);
    ~Vorq_Cam() override;

    // The elapsed recording time shown from `start` to `now`, "hh:mm:ss",
    // taken modulo a day so a recording across midnight shows its duration.
    static QString recordTimeText(const QTime& start, const QTime& now);
    // Milliseconds until the recording time shown next changes (just after it).
    static int msecsToNextRecordSecond(const QTime& start, const QTime& now);

    // Seen by tests and tools; the window owns all of it.
    Vorq_CamForm* form() const { return ui.get(); }
    Vorq_Medialib* mediaEngine() const { return media; }
    Vorq_SettingVideo* videoSettings() const { return videoPage; }
    Vorq_settingAudio* audioSettings() const { return audioPage; }
    Vorq_settingAI* aiSettings() const { return aiPage; }
    VolumePopup* speakerPopup() const { return speaker; }
    VolumePopup* microphonePopup() const { return microphone; }
    QTimer* cameraScanTimer() const { return scanTimer; }
    QTimer* recordingTimer() const { return recordTimer; }
    const CameraTable& cameras() const { return cameraTable; }
    CameraInfo openedCamera() const { return currentCamera; }
    int selectedIndex() const { return currentIndex; }
    bool isCaptureActive() const { return captureActive; }
    QImage lastPreviewFrame() const { return lastFrame; }
    QString lastSnapshot() const { return lastSnapshotPath; }
    QString recordingPath() const { return recordFilePath; }

    // The camera is about to go away (a firmware upgrade or an audio-setting
    // restart): stop using it and report the capture state false.
    void releaseCamera();
    // The camera given up by releaseCamera is still attached (an upgrade
    // failed before it restarted): open it again.
    void reopenCamera();

protected:
    void paintEvent(QPaintEvent* event) override;

signals:
    void checkValidCameraList(QList<CameraInfo>& listCamera);
    void signalReboot(bool);
    void cameraListChange();
    void cameraId(int);

private slots:
    void on_CameraView(uint8_t* buffer, int width, int height);
    void on_ChangeSettingUI(int id);
    void comboBox_activated(int index);
    void label_version_TextChange(QString info);
    void label_check_for_new_firmware_Change(bool visible);
    void bt_shot_Clicked();
    void bt_record_Clicked(bool state);
    // The engine stopped the recording because its file could not be written.
    void recordingFailed(int errnum);
    void pushButton_preview_checked(bool status);
    void checkValidCamerasList();
    void captureState(bool state);
    void on_CameraListChange();
    void horizontalSlider_Volume_sliderMoved(int position);
    void horizontalSlider_MicVolume_sliderMoved(int position);
    void captureModeChosen();

private:
    void updateCameraComboBox(QList<CameraInfo>& list);
    // The mode selector lists the opened camera's modes; the engine opens the
    // chosen one.
    void loadCaptureModes();
    void applyCaptureMode();
    void openCamera(int key);
    void showCameraInUse();
    void setMediaButtonsEnabled(bool enabled);
    void initSpeakerPopup();
    void initMicrophonePopup();
    void refreshSpeakerLevel();
    void refreshMicrophoneLevel();

    void setupWindow();
    void wireSignals();
    // Tab walks the page buttons, the shown page, the preview switch and the
    // media buttons (each volume button followed by its slider), the camera
    // box and the picture.
    void arrangeTabOrder();
    // The combo box's current row and the " connected" marker follow
    // currentIndex.
    void showSelectedRow();
    // Ends a running recording without a message; the file is finalised.
    void endRecording();
    // Asks for the file of a new snapshot or recording, proposing a name of
    // the date and time in `folder` (made when missing). A name typed without
    // an extension gets the chosen filter's. Null when the user cancels.
    QString askMediaFileName(const QString& caption, const QString& folder, const QString& filter);
    void updateRecordTime();
    // The recording time, on its plate; empty hides both.
    void showRecordTime(const QString& text);

    std::unique_ptr<Vorq_CamForm> ui;
    QButtonGroup* settingGroup = nullptr;
    Vorq_SettingVideo* videoPage = nullptr;
    Vorq_settingAudio* audioPage = nullptr;
    Vorq_settingAI* aiPage = nullptr;
    Vorq_Medialib* media = nullptr;
    VolumePopup* speaker = nullptr;
    VolumePopup* microphone = nullptr;
    CameraInfo currentCamera;
    QList<CameraInfo> lastCameraList;
    CameraTable cameraTable;
    QImage lastFrame;
    QTimer* scanTimer = nullptr;
    int currentIndex = -1;
    QString lastSnapshotPath = QStringLiteral("");
    QString recordFilePath = QStringLiteral("");
    bool captureActive = false;
    QTimer* recordTimer = nullptr;
    QTime recordStartTime;
    bool enginePrepared = false;
};
