#include "Vorq_settingAudio.h"

#include <QLabel>
#include <QPushButton>

#include "SettingAudioForm.h"
#include "UserDialogs.h"
#include "device/CameraDevice.h"

namespace {

bool readSwitch(uint32_t selector)
{
    uint8_t value = 0;
    if (FAILED(mainDevice.xuProperty(selector, CameraDevice::Read, &value, 1))) return false;
    return value == 1;
}

void writeSwitch(uint32_t selector, bool on)
{
    uint8_t value = on ? 1 : 0;
    mainDevice.xuProperty(selector, CameraDevice::Write, &value, 1);
}

} // namespace

Vorq_settingAudio::Vorq_settingAudio(QWidget* parent) : QWidget(parent), ui_(std::make_unique<SettingAudioForm>())
{
    ui_->setupUi(this);
    captureState(false);
    readAudioStates();
    // clicked, not toggled: the program's own setChecked must not write.
    connect(ui_->pushButton_Audio, &QPushButton::clicked, this, &Vorq_settingAudio::pushButton_Audio_Checked);
    connect(ui_->pushButton_Audio_Algo, &QPushButton::clicked, this,
            &Vorq_settingAudio::pushButton_Audio_Algo_Checked);
}

Vorq_settingAudio::~Vorq_settingAudio() = default;

void Vorq_settingAudio::readAudioStates()
{
    ui_->pushButton_Audio->setChecked(readSwitch(CameraDevice::XU_AUDIO_ENABLE));
    ui_->pushButton_Audio_Algo->setChecked(readSwitch(CameraDevice::XU_AUDIO_ALGO));
}

void Vorq_settingAudio::captureState(bool state)
{
    captureOn_ = state;
    const QString colour = state ? QStringLiteral("color: rgb(0, 11, 46);") : QStringLiteral("color: rgb(150, 155, 165);");
    ui_->label_Audio->setStyleSheet(colour);
    ui_->label_Audio_Algo->setStyleSheet(colour);
    for (QPushButton* button : {ui_->pushButton_Audio, ui_->pushButton_Audio_Algo}) {
        button->setEnabled(state);
        // Only the look: nothing is written to the camera.
        if (!state) button->setChecked(false);
    }
}

void Vorq_settingAudio::pushButton_Audio_Checked(bool check)
{
    const QString question = QStringLiteral("Reboot to ") + (check ? QStringLiteral("turn on") : QStringLiteral("turn off")) +
                             QStringLiteral(" Audio?");
    if (!UserDialogs::current().question(nullptr, QStringLiteral("Notice"), question)) {
        ui_->pushButton_Audio->setChecked(!check);
        return;
    }
    // The window releases the camera before it restarts.
    emit audioReboot();
    writeSwitch(CameraDevice::XU_AUDIO_ENABLE, check);
}

void Vorq_settingAudio::pushButton_Audio_Algo_Checked(bool check)
{
    writeSwitch(CameraDevice::XU_AUDIO_ALGO, check);
}
