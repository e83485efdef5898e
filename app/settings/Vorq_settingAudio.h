#pragma once

#include <memory>

#include <QWidget>

class SettingAudioForm;

// The audio settings page: the camera's audio and its audio algorithm, both
// switches living on the camera. Turning the audio on or off restarts the
// camera, so that switch asks first and lets the window release the camera.
class Vorq_settingAudio : public QWidget {
    Q_OBJECT
public:
    explicit Vorq_settingAudio(QWidget* parent = nullptr);
    ~Vorq_settingAudio() override;

    // Reads both switches from the camera; a failed read counts as off.
    void readAudioStates();

    bool captureOn() const { return captureOn_; }
    const SettingAudioForm& form() const { return *ui_; }

signals:
    // The camera is about to restart; the window lets go of it.
    void audioReboot();

public slots:
    void captureState(bool state);
    void pushButton_Audio_Checked(bool check);
    void pushButton_Audio_Algo_Checked(bool check);

private:
    std::unique_ptr<SettingAudioForm> ui_;
    bool captureOn_ = false;
};
