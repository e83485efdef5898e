#include "Vorq_SettingVideo.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include <QCheckBox>
#include <QDebug>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSettings>
#include <QVBoxLayout>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

#include "SettingVideoForm.h"
#include "UserDialogs.h"
#include "device/CameraDevice.h"
#include "PtzPresetRow.h"
#include "device/CameraSettingsKey.h"

namespace {

constexpr long kManual = CameraControl_Flags_Manual;
constexpr int kValueLabelY = 5;
constexpr int kHideValueLabelMs = 1000;
// The device-information control, read as text.
constexpr uint32_t kDeviceInfoLength = 24;

const char* const kDarkText = "color: rgb(0, 11, 42);";
const char* const kGreyText = "color: rgb(150, 155, 165);";
const char* const kLinkText = "color: rgb(9, 106, 178);";

// A new range under a held handle snaps it back to the slider's old value
// and reports that as a move of its own, which would be written to the
// camera; the handle stays where the user has it instead.
void setMinimumQuietly(QSlider* slider, int minimum, int position)
{
    if (slider->minimum() == minimum) return;
    const QSignalBlocker quiet(slider);
    slider->setMinimum(minimum);
    slider->setValue(position);
}

} // namespace

Vorq_SettingVideo::Vorq_SettingVideo(QWidget* parent) : QWidget(parent), ui_(std::make_unique<SettingVideoForm>())
{
    ui_->setupUi(this);
    presets_ = new PtzPresetRow(this);
    if (auto* pageLayout = qobject_cast<QVBoxLayout*>(layout())) pageLayout->insertWidget(1, presets_);
    for (QLabel* link : {ui_->label_UVCSettings, ui_->label_restore_to_factory_settings}) {
        link->setMouseTracking(true);
        link->installEventFilter(this);
    }
    for (QPushButton* b : {ui_->pushButton_up, ui_->pushButton_down, ui_->pushButton_left, ui_->pushButton_right,
                           ui_->pushButton_home, ui_->pushButton_zoomin, ui_->pushButton_zoomout})
        b->installEventFilter(this);
    // The style pair acts on every state change, whoever causes it.
    connect(ui_->checkBox_Meeting, &QCheckBox::stateChanged, this, &Vorq_SettingVideo::on_checkBox_Meeting_stateChanged);
    connect(ui_->checkBox_Live, &QCheckBox::stateChanged, this, &Vorq_SettingVideo::on_checkBox_Live_stateChanged);
    captureState(false);
}

Vorq_SettingVideo::~Vorq_SettingVideo() { stopHeldMotion(); }

void Vorq_SettingVideo::connectControls(const CameraInfo& camera)
{
    cameraInfo_ = camera;
    if (controlsConnected_) return;
    controlsConnected_ = true;

    SettingVideoForm& f = *ui_;
    connect(f.pushButton_home, &QPushButton::pressed, this, &Vorq_SettingVideo::pushButton_home_pressed);
    connect(f.pushButton_left, &QPushButton::pressed, this, &Vorq_SettingVideo::pushButton_left_pressed);
    connect(f.pushButton_left, &QPushButton::released, this, &Vorq_SettingVideo::pushButton_left_released);
    connect(f.pushButton_right, &QPushButton::pressed, this, &Vorq_SettingVideo::pushButton_right_pressed);
    connect(f.pushButton_right, &QPushButton::released, this, &Vorq_SettingVideo::pushButton_right_released);
    connect(f.pushButton_up, &QPushButton::pressed, this, &Vorq_SettingVideo::pushButton_up_pressed);
    connect(f.pushButton_up, &QPushButton::released, this, &Vorq_SettingVideo::pushButton_up_released);
    connect(f.pushButton_down, &QPushButton::pressed, this, &Vorq_SettingVideo::pushButton_down_pressed);
    connect(f.pushButton_down, &QPushButton::released, this, &Vorq_SettingVideo::pushButton_down_released);
    connect(f.pushButton_zoomin, &QPushButton::pressed, this, &Vorq_SettingVideo::pushButton_zoomin_pressed);
    connect(f.pushButton_zoomin, &QPushButton::released, this, &Vorq_SettingVideo::pushButton_zoomin_released);
    connect(f.pushButton_zoomout, &QPushButton::pressed, this, &Vorq_SettingVideo::pushButton_zoomout_pressed);
    connect(f.pushButton_zoomout, &QPushButton::released, this, &Vorq_SettingVideo::pushButton_zoomout_released);
    connect(f.pushButton_FlipV, &QPushButton::toggled, this, &Vorq_SettingVideo::pushButton_FlipV_checked);
    connect(f.pushButton_FlipH, &QPushButton::toggled, this, &Vorq_SettingVideo::pushButton_FlipH_checked);

    connect(f.horizontalSlider, &QSlider::sliderMoved, this, &Vorq_SettingVideo::horizontalSlider_sliderMoved);
    connect(f.horizontalSlider_DRC, &QSlider::sliderMoved, this, &Vorq_SettingVideo::horizontalSlider_DRC_sliderMoved);
    connect(f.horizontalSlider_BG, &QSlider::sliderMoved, this, &Vorq_SettingVideo::horizontalSlider_BG_sliderMoved);
    connect(f.horizontalSlider_RG, &QSlider::sliderMoved, this, &Vorq_SettingVideo::horizontalSlider_RG_sliderMoved);
    const std::pair<QSlider*, QLabel*> valueLabels[] = {{f.horizontalSlider, f.label_SliderValue},
                                                        {f.horizontalSlider_DRC, f.label_SliderValue_DRC},
                                                        {f.horizontalSlider_RG, f.label_SliderValue_RG},
                                                        {f.horizontalSlider_BG, f.label_SliderValue_BG}};
    for (const auto& [slider, label] : valueLabels)
        connect(slider, &QSlider::sliderReleased, this, [this, slider = slider, label = label] {
            hideValueLabelLater(slider, label);
        });
    connectSliderSteps(f.horizontalSlider, f.label_SliderValue, &Vorq_SettingVideo::horizontalSlider_sliderMoved);
    connectSliderSteps(f.horizontalSlider_DRC, f.label_SliderValue_DRC,
                       &Vorq_SettingVideo::horizontalSlider_DRC_sliderMoved);
    connectSliderSteps(f.horizontalSlider_RG, f.label_SliderValue_RG,
                       &Vorq_SettingVideo::horizontalSlider_RG_sliderMoved);
    connectSliderSteps(f.horizontalSlider_BG, f.label_SliderValue_BG,
                       &Vorq_SettingVideo::horizontalSlider_BG_sliderMoved);
}

void Vorq_SettingVideo::connectSliderSteps(QSlider* slider, QLabel* label, void (Vorq_SettingVideo::*moved)(int))
{
    // A drag reports itself through sliderMoved; only the other moves go here.
    connect(slider, &QSlider::actionTriggered, this, [this, slider, label, moved](int) {
        if (slider->isSliderDown()) return;
        (this->*moved)(slider->sliderPosition());
        hideValueLabelLater(slider, label);
    });
}

void Vorq_SettingVideo::setCameraInfo(const CameraInfo& camera) { cameraInfo_ = camera; }

void Vorq_SettingVideo::bindCamera()
{
    const QString deviceName = cameraInfo_.deviceName();
    zoomDevice.openDevice(deviceName);
    mainDevice.openDevice(deviceName);
    kept_ = KeptCameraSettings(CameraSettingsKey::of(deviceName));
    presets_->setCamera(mainDevice.cameraControl(), kept_.cameraKey());
    refreshSettings();
    restoreKeptSettings();
}

void Vorq_SettingVideo::restoreKeptSettings()
{
    if (!captureOn_) return;
    const QScopedValueRollback<bool> applying(applyingCameraValues_, true);
    const KeptCameraSettings::Values written = kept_.restore(mainDevice);
    const auto contrast = written.find(QStringLiteral("Contrast"));
    if (contrast != written.end()) {
        const int value = static_cast<int>(contrast->second.value);
        ui_->horizontalSlider_DRC->setValue(value);
        placeValueLabel(ui_->horizontalSlider_DRC, ui_->label_SliderValue_DRC, value);
    }
    // A changed switch writes itself through its toggled handler.
    if (const auto on = kept_.keptSwitch(QStringLiteral("FlipVertical"))) ui_->pushButton_FlipV->setChecked(*on);
    if (const auto on = kept_.keptSwitch(QStringLiteral("FlipHorizontal"))) ui_->pushButton_FlipH->setChecked(*on);
}

// --- capture state ---------------------------------------------------------------

void Vorq_SettingVideo::setCaptionsEnabled(bool enabled)
{
    SettingVideoForm& f = *ui_;
    const QString colour = QString::fromLatin1(enabled ? kDarkText : kGreyText);
    for (QLabel* label : {f.label_Exposure, f.label_DRC, f.label_RG, f.label_BG, f.label_FlipH, f.label_FlipV})
        label->setStyleSheet(colour);
    // The links look like links: underlined, in the link colour while they work.
    const QString link = QString::fromLatin1(enabled ? kLinkText : kGreyText) + QStringLiteral(" text-decoration: underline;");
    for (QLabel* label : {f.label_UVCSettings, f.label_restore_to_factory_settings}) label->setStyleSheet(link);
    for (QWidget* w : std::initializer_list<QWidget*>{f.ExposureBox, f.DRC_CTLBox, f.RG_CTLBox, f.BG_CTLBox,
                                                      f.pushButton_FlipH, f.pushButton_FlipV})
        w->setEnabled(enabled);
}

void Vorq_SettingVideo::captureState(bool state)
{
    // The camera is going away: whatever a held button moves stops now.
    if (!state) stopHeldMotion();
    captureOn_ = state;
    if (!state) {
        presets_->setCamera(nullptr, QString());
        // Only sliderMoved writes, so this leaves the camera alone.
        for (QSlider* slider : {ui_->horizontalSlider, ui_->horizontalSlider_DRC, ui_->horizontalSlider_RG,
                                ui_->horizontalSlider_BG})
            slider->setValue(slider->minimum());
    }
    setCaptionsEnabled(state);
}

// --- motion --------------------------------------------------------------------

void Vorq_SettingVideo::pushButton_home_pressed()
{
    if (!captureOn_) return;
    if (IAMCameraControl* control = mainDevice.cameraControl()) {
        control->Set(CameraControl_Pan, 0, kManual);
        control->Set(CameraControl_Tilt, 0, kManual);
        control->Set(CameraControl_Zoom, 0, kManual);
    }
}

void Vorq_SettingVideo::startPanTilt(long property, int direction, Motion motion)
{
    if (!captureOn_) return;
    IAMCameraControl* control = mainDevice.cameraControl();
    if (!control) return;
    long minimum = 0, maximum = 0, step = 0, speed = 0, caps = 0;
    if (FAILED(control->GetRange(property, &minimum, &maximum, &step, &speed, &caps))) return;
    qDebug() << "speed:" << speed;
    control->Set(property, direction * speed, kManual);
    heldMotion_ = motion;
}

void Vorq_SettingVideo::stopPanTilt(long property)
{
    if (!captureOn_) return;
    heldMotion_ = Motion::None;
    if (IAMCameraControl* control = mainDevice.cameraControl()) control->Set(property, 0, kManual);
}

void Vorq_SettingVideo::pushButton_left_pressed() { startPanTilt(CameraControl_PanRelative, -1, Motion::Pan); }
void Vorq_SettingVideo::pushButton_left_released() { stopPanTilt(CameraControl_PanRelative); }
void Vorq_SettingVideo::pushButton_right_pressed() { startPanTilt(CameraControl_PanRelative, 1, Motion::Pan); }
void Vorq_SettingVideo::pushButton_right_released() { stopPanTilt(CameraControl_PanRelative); }
void Vorq_SettingVideo::pushButton_up_pressed() { startPanTilt(CameraControl_TiltRelative, 1, Motion::Tilt); }
void Vorq_SettingVideo::pushButton_up_released() { stopPanTilt(CameraControl_TiltRelative); }
void Vorq_SettingVideo::pushButton_down_pressed() { startPanTilt(CameraControl_TiltRelative, -1, Motion::Tilt); }
void Vorq_SettingVideo::pushButton_down_released() { stopPanTilt(CameraControl_TiltRelative); }

void Vorq_SettingVideo::sendZoom(int8_t direction)
{
    // Direction, 0, speed: 6 while moving, 0 with the stop.
    unsigned char move[3] = {static_cast<unsigned char>(direction), 0, static_cast<unsigned char>(direction ? 6 : 0)};
    zoomDevice.xuProperty(CameraDevice::XU_ZOOM_MOVE, CameraDevice::Write, move, sizeof move);
}

void Vorq_SettingVideo::pushButton_zoomin_pressed()
{
    if (!captureOn_) return;
    sendZoom(1);
    heldMotion_ = Motion::Zoom;
}

void Vorq_SettingVideo::pushButton_zoomout_pressed()
{
    if (!captureOn_) return;
    sendZoom(-1);
    heldMotion_ = Motion::Zoom;
}

void Vorq_SettingVideo::pushButton_zoomin_released()
{
    if (!captureOn_) return;
    heldMotion_ = Motion::None;
    sendZoom(0);
}

void Vorq_SettingVideo::pushButton_zoomout_released() { pushButton_zoomin_released(); }

void Vorq_SettingVideo::stopHeldMotion()
{
    heldKey_ = 0;
    const Motion held = std::exchange(heldMotion_, Motion::None);
    if (held == Motion::None) return;
    // The button may still look pressed; its release, should it come, only
    // repeats the stop.
    for (QPushButton* b : {ui_->pushButton_left, ui_->pushButton_right, ui_->pushButton_up, ui_->pushButton_down,
                           ui_->pushButton_zoomin, ui_->pushButton_zoomout})
        b->setDown(false);
    if (held == Motion::Zoom) {
        sendZoom(0);
        return;
    }
    if (IAMCameraControl* control = mainDevice.cameraControl())
        control->Set(held == Motion::Pan ? CameraControl_PanRelative : CameraControl_TiltRelative, 0, kManual);
}

bool Vorq_SettingVideo::padKeyEvent(QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        // Focus moving away ends a key hold as a lost window ends a mouse hold.
        if (heldKey_) stopHeldMotion();
        return false;
    }
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;

    using Slot = void (Vorq_SettingVideo::*)();
    struct PadKey {
        int key;
        QPushButton* button;
        Slot press;
        Slot release;
    };
    const SettingVideoForm& f = *ui_;
    const PadKey keys[] = {
        {Qt::Key_Up, f.pushButton_up, &Vorq_SettingVideo::pushButton_up_pressed,
         &Vorq_SettingVideo::pushButton_up_released},
        {Qt::Key_Down, f.pushButton_down, &Vorq_SettingVideo::pushButton_down_pressed,
         &Vorq_SettingVideo::pushButton_down_released},
        {Qt::Key_Left, f.pushButton_left, &Vorq_SettingVideo::pushButton_left_pressed,
         &Vorq_SettingVideo::pushButton_left_released},
        {Qt::Key_Right, f.pushButton_right, &Vorq_SettingVideo::pushButton_right_pressed,
         &Vorq_SettingVideo::pushButton_right_released},
        {Qt::Key_Plus, f.pushButton_zoomin, &Vorq_SettingVideo::pushButton_zoomin_pressed,
         &Vorq_SettingVideo::pushButton_zoomin_released},
        // "+" without Shift on most layouts.
        {Qt::Key_Equal, f.pushButton_zoomin, &Vorq_SettingVideo::pushButton_zoomin_pressed,
         &Vorq_SettingVideo::pushButton_zoomin_released},
        {Qt::Key_Minus, f.pushButton_zoomout, &Vorq_SettingVideo::pushButton_zoomout_pressed,
         &Vorq_SettingVideo::pushButton_zoomout_released},
    };
    auto* key = static_cast<QKeyEvent*>(event);
    const auto pad =
        std::find_if(std::begin(keys), std::end(keys), [key](const PadKey& k) { return k.key == key->key(); });
    if (pad == std::end(keys)) return false;

    // A held key repeats presses and releases; only the first press and the
    // last release count, so one hold sends one start and one stop.
    if (key->isAutoRepeat()) return true;
    if (event->type() == QEvent::KeyPress) {
        if (heldKey_) return true;
        heldKey_ = pad->key;
        pad->button->setDown(true);
        (this->*pad->press)();
    } else if (pad->key == heldKey_) {
        heldKey_ = 0;
        pad->button->setDown(false);
        (this->*pad->release)();
    }
    return true;
}

void Vorq_SettingVideo::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) stopHeldMotion();
    QWidget::changeEvent(event);
}

void Vorq_SettingVideo::hideEvent(QHideEvent* event)
{
    stopHeldMotion();
    QWidget::hideEvent(event);
}

// --- picture settings ------------------------------------------------------------

void Vorq_SettingVideo::writeByte(uint32_t selector, uint8_t value)
{
    mainDevice.xuProperty(selector, CameraDevice::Write, &value, 1);
}

void Vorq_SettingVideo::pushButton_FlipV_checked(bool checked)
{
    if (!captureOn_) return;
    writeByte(CameraDevice::XU_FLIP_V, checked ? 1 : 0);
    if (!applyingCameraValues_) kept_.keepSwitch(QStringLiteral("FlipVertical"), checked);
}

void Vorq_SettingVideo::pushButton_FlipH_checked(bool checked)
{
    if (!captureOn_) return;
    writeByte(CameraDevice::XU_FLIP_H, checked ? 1 : 0);
    if (!applyingCameraValues_) kept_.keepSwitch(QStringLiteral("FlipHorizontal"), checked);
}

void Vorq_SettingVideo::placeValueLabel(QSlider* slider, QLabel* label, int position)
{
    const int span = std::abs(slider->maximum() - slider->minimum());
    const int track = slider->width() - 10;
    int x = 10;
    if (span > 0) x = static_cast<int>(std::abs(position - slider->minimum()) * static_cast<double>(track) / span + 10);
    // A value beyond the range (a camera byte read as +128) stays over the track.
    x = std::clamp(x, 10, track + 10);
    label->move(x, kValueLabelY);
    label->show();
    label->setText(QString::number(position));
}

void Vorq_SettingVideo::hideValueLabelLater(QSlider* slider, QLabel* label)
{
    if (slider->value() == slider->minimum()) return;
    QTimer::singleShot(kHideValueLabelMs, label, &QLabel::hide);
}

void Vorq_SettingVideo::horizontalSlider_sliderMoved(int position)
{
    if (!captureOn_) return;
    placeValueLabel(ui_->horizontalSlider, ui_->label_SliderValue, position);
    if (position != 0) {
        writeByte(CameraDevice::XU_AE_MODE, 0);
        writeByte(CameraDevice::XU_EXPOSURE, static_cast<uint8_t>(position));
    } else {
        writeByte(CameraDevice::XU_AE_MODE, 1);
    }
}

void Vorq_SettingVideo::horizontalSlider_DRC_sliderMoved(int position)
{
    if (!captureOn_) return;
    placeValueLabel(ui_->horizontalSlider_DRC, ui_->label_SliderValue_DRC, position);
    mainDevice.setProcAmp(VideoProcAmp_Contrast, position, VideoProcAmp_Flags_Manual);
    if (!applyingCameraValues_) kept_.keep(QStringLiteral("Contrast"), {position, VideoProcAmp_Flags_Manual});
}

void Vorq_SettingVideo::colourShiftMoved(QSlider* slider, QLabel* label, uint32_t selector, int position)
{
    placeValueLabel(slider, label, position);
    mainDevice.readWhiteBalanceMode();
    if (position < 0 && mainDevice.wbFlags() == VideoProcAmp_Flags_Auto) {
        // Automatic white balance takes no negative shift.
        setMinimumQuietly(slider, 0, position);
        label->move(static_cast<int>((slider->width() - 10) * 0.5 + 10), kValueLabelY);
        return;
    }
    setMinimumQuietly(slider, -10, position);
    writeByte(selector, static_cast<uint8_t>(position));
}

void Vorq_SettingVideo::horizontalSlider_BG_sliderMoved(int position)
{
    if (!captureOn_) return;
    colourShiftMoved(ui_->horizontalSlider_BG, ui_->label_SliderValue_BG, CameraDevice::XU_BLUE_SHIFT, position);
}

void Vorq_SettingVideo::horizontalSlider_RG_sliderMoved(int position)
{
    if (!captureOn_) return;
    colourShiftMoved(ui_->horizontalSlider_RG, ui_->label_SliderValue_RG, CameraDevice::XU_RED_SHIFT, position);
}

void Vorq_SettingVideo::on_checkBox_Meeting_stateChanged(int)
{
    if (!ui_->checkBox_Meeting->isChecked()) return;
    writeByte(CameraDevice::XU_IMAGE_STYLE, 6);
    ui_->checkBox_Live->setEnabled(true);
    ui_->checkBox_Live->setChecked(false);
    ui_->checkBox_Meeting->setEnabled(false);
}

void Vorq_SettingVideo::on_checkBox_Live_stateChanged(int)
{
    if (!ui_->checkBox_Live->isChecked()) return;
    writeByte(CameraDevice::XU_IMAGE_STYLE, 5);
    ui_->checkBox_Meeting->setEnabled(true);
    ui_->checkBox_Meeting->setChecked(false);
    ui_->checkBox_Live->setEnabled(false);
}

void Vorq_SettingVideo::Get_style()
{
    uint8_t style = 0;
    if (FAILED(mainDevice.xuProperty(CameraDevice::XU_IMAGE_STYLE, CameraDevice::Read, &style, 1))) return;
    if (style == 6) {
        ui_->checkBox_Meeting->setChecked(true);
        ui_->checkBox_Live->setChecked(false);
    } else if (style == 5) {
        ui_->checkBox_Live->setChecked(true);
        ui_->checkBox_Meeting->setChecked(false);
    }
}

// --- the two links ----------------------------------------------------------------

bool Vorq_SettingVideo::eventFilter(QObject* watched, QEvent* event)
{
    const bool isLink = watched == ui_->label_UVCSettings || watched == ui_->label_restore_to_factory_settings;
    if (!isLink) {
        if (padKeyEvent(event)) return true;
    } else if (event->type() == QEvent::MouseButtonPress) {
        activateLink(watched);
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (!static_cast<QKeyEvent*>(event)->isAutoRepeat()) activateLink(watched);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Vorq_SettingVideo::activateLink(QObject* link)
{
    if (!captureOn_) return;
    if (link == ui_->label_UVCSettings) {
        const CameraInfo camera = cameraInfo_;
        const KeptCameraSettings::Values before = KeptCameraSettings::read(mainDevice);
        // The dialog may have changed anything.
        if (mainDevice.showAdvancedDialog()) {
            // Unless the camera was given up meanwhile, what changed is the user's doing.
            if (captureOn_ && cameraInfo_ == camera) kept_.keepChanges(before, KeptCameraSettings::read(mainDevice));
            refreshSettings();
        }
    } else if (link == ui_->label_restore_to_factory_settings) {
        if (UserDialogs::current().question(nullptr, QStringLiteral("Notice"),
                                            QStringLiteral("Restore to default settings?"))) {
            kept_.forget();
            // The presets went with the kept settings: empty slots now.
            presets_->setCamera(mainDevice.cameraControl(), kept_.cameraKey());
            writeByte(CameraDevice::XU_FACTORY_RESET, 1);
            pushButton_home_pressed();
            refreshSettings();
        }
    }
}

// --- reading the camera --------------------------------------------------------------

QString Vorq_SettingVideo::versionText(const QByteArray& deviceInfo, const QString& description)
{
    // The camera need not terminate a text that fills the control.
    const int end = deviceInfo.indexOf('\0');
    const QString text = QString::fromLatin1(end < 0 ? deviceInfo : deviceInfo.left(end));
    const QStringList fields = text.split(QLatin1Char(':'));
    // Without a second field the whole text is all the camera says.
    const QString version = fields.size() > 1 ? fields.at(1) : text;
    if (description.contains(QLatin1String("HX-LNK-002")) || description.contains(QLatin1String("Halvern")))
        return QStringLiteral("FW: ") + version;
    return version;
}

void Vorq_SettingVideo::refreshSettings()
{
    const QString iniFile = QStringLiteral("config.ini");
    if (QFileInfo::exists(iniFile)) {
        QSettings settings(iniFile, QSettings::IniFormat);
        lastCameraName_ = settings.value(QStringLiteral("CAM/name")).toString();
        qDebug().noquote() << "last_camera_name: " + lastCameraName_;
    }
    if (!captureOn_) return;
    const QScopedValueRollback<bool> applying(applyingCameraValues_, true);

    unsigned char buffer[kDeviceInfoLength] = {};
    if (FAILED(mainDevice.xuProperty(CameraDevice::XU_DEVICE_INFO, CameraDevice::Read, buffer, sizeof buffer)))
        emit versionInfo(QStringLiteral("Get device info failed!"));
    else
        emit versionInfo(versionText(QByteArray(reinterpret_cast<const char*>(buffer), sizeof buffer),
                                     cameraInfo_.description()));
    emit checkUpStatus(true);

    SettingVideoForm& f = *ui_;
    f.horizontalSlider->setRange(-7, 7);
    f.horizontalSlider_DRC->setRange(0, 14);
    f.horizontalSlider_RG->setRange(-10, 10);
    f.horizontalSlider_BG->setRange(-10, 10);

    // A read that fails leaves its widget and the camera alone: the buffer
    // then holds nothing of that control.
    auto read = [&buffer](uint32_t selector) {
        return SUCCEEDED(mainDevice.xuProperty(selector, CameraDevice::Read, buffer, sizeof buffer));
    };
    // A changed switch writes itself back through its toggled handler.
    if (read(CameraDevice::XU_FLIP_H)) f.pushButton_FlipH->setChecked(buffer[0] == 1);
    if (read(CameraDevice::XU_FLIP_V)) f.pushButton_FlipV->setChecked(buffer[0] == 1);

    f.horizontalSlider->setValue(0);
    if (read(CameraDevice::XU_EXPOSURE)) {
        const int exposure = CameraDevice::signedSetting(buffer[0]);
        f.horizontalSlider->setValue(exposure);
        horizontalSlider_sliderMoved(exposure);
    }

    long contrast = 0;
    long flags = 0;
    if (SUCCEEDED(mainDevice.getProcAmp(VideoProcAmp_Contrast, contrast, flags))) {
        f.horizontalSlider_DRC->setValue(static_cast<int>(contrast > 255 ? contrast - 256 : contrast));
        horizontalSlider_DRC_sliderMoved(static_cast<int>(contrast));
    }

    if (read(CameraDevice::XU_RED_SHIFT)) {
        f.horizontalSlider_RG->setValue(CameraDevice::signedSetting(buffer[0]));
        horizontalSlider_RG_sliderMoved(f.horizontalSlider_RG->value());
    }
    if (read(CameraDevice::XU_BLUE_SHIFT)) {
        f.horizontalSlider_BG->setValue(CameraDevice::signedSetting(buffer[0]));
        horizontalSlider_BG_sliderMoved(f.horizontalSlider_BG->value());
    }
    Get_style();
}
