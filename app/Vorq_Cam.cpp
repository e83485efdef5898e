#include "Vorq_Cam.h"

#include <algorithm>
#include <cmath>

#include <QButtonGroup>
#include <QComboBox>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSlider>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>

#include <cstring>

#include "CaptureModeBox.h"
#include "EndpointLevels.h"
#include "MediaFileName.h"
#include "ProgramFolders.h"
#include "PreviewLabel.h"
#include "UserDialogs.h"
#include "VolumePopup.h"
#include "device/OfferedModes.h"
#include "PtzPresetRow.h"
#include "Vorq_CamForm.h"
#include "Vorq_SettingVideo.h"
#include "Vorq_settingAI.h"
#include "Vorq_settingAudio.h"
#include "Vorq_settingUpgrade.h"
#include "medialib/Vorq_Medialib.h"

namespace {

const char* kMicrophoneName = "麦克风 (TELDORA TX42)";
const char* kSpeakerName = "扬声器 (TELDORA TX42)";
const QString kSpeakerMuted = QStringLiteral("border-image: url(:/UI/Button/mute.png);");
const QString kSpeakerActive = QStringLiteral("border-image: url(:/UI/Button/volume.png);");
const QString kMicMuted = QStringLiteral("border-image: url(:/UI/Button/mic_mute.png);");
const QString kMicActive = QStringLiteral("border-image: url(:/UI/Button/microphone.png);");
const QString kConnectedSuffix = QStringLiteral(" connected");
constexpr int kScanIntervalMs = 1000;
// The combo-box row's own text, kept apart from the " connected" marker.
constexpr int kBaseTextRole = Qt::UserRole + 1;

QString comboStyle()
{
    return QStringLiteral(
        "QComboBox { color: rgb(230, 236, 244); background: rgb(22, 58, 96); border: 1px solid rgb(52, 92, 132);"
        " border-radius: 4px; padding-left: 8px; font: 13px \"DejaVu Sans\"; }"
        "QComboBox::drop-down { width: 28px; border: none; }"
        "QComboBox::down-arrow { image: url(:/UI/Combox/cbxdown.png); width: 14px; height: 14px; }"
        "QComboBox QAbstractItemView { color: rgb(230, 236, 244); background: rgb(11, 42, 73);"
        " selection-background-color: rgb(9, 106, 178); outline: none; }"
        "QComboBox QAbstractItemView::item { height: 32px; padding-left: 30px;"
        " background-image: url(:/UI/Combox/cbxrowpic.png); background-repeat: no-repeat;"
        " background-position: left center; }");
}

} // namespace

Vorq_Cam::Vorq_Cam(QWidget* parent) : QMainWindow(parent), ui(new Vorq_CamForm)
{
    ui->setupUi(this);
    checkValidCamerasList();
    setupWindow();
    wireSignals();
    // The scan above ran before anything listened; the box shows its result
    // now rather than after the next change.
    updateCameraComboBox(lastCameraList);
    if (cameraTable.size() == 1) {
        currentCamera = cameraTable.first().camera;
        comboBox_activated(1);
    }
}

Vorq_Cam::~Vorq_Cam()
{
    delete settingGroup;
    delete videoPage;
    delete audioPage;
    delete aiPage;
    for (QTimer** timer : {&scanTimer, &recordTimer}) {
        if (!*timer) continue;
        (*timer)->stop();
        delete *timer;
        *timer = nullptr;
    }
    delete speaker;
    delete microphone;
    // Ends a running recording (its file is finalised) and the capture.
    delete media;
    media = nullptr;
    ui.reset();
}

void Vorq_Cam::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    if (enginePrepared) return;
    enginePrepared = true;
    // The window is on screen: now the media engine and FFmpeg may load, on
    // a worker, before the preview is first switched on.
    QTimer::singleShot(0, this, [this] {
        if (media) media->PrepareEngine();
    });
}

void Vorq_Cam::setupWindow()
{
    // Before the native window exists the flags only need recording: setting
    // them re-parents the window, which restyles every widget of the form.
    const Qt::WindowFlags flags = windowFlags() & ~Qt::WindowMaximizeButtonHint;
    if (testAttribute(Qt::WA_WState_Created))
        setWindowFlags(flags);
    else
        overrideWindowFlags(flags);
    setFixedSize(1159, 713);
    setWindowIcon(QIcon(QStringLiteral(":/UI/Icon/icon_title.png")));
    setWindowTitle(QStringLiteral("TELDORA_Vision_Desk_V1.0.0.5"));

    media = new Vorq_Medialib;
    connect(media, &Vorq_Medialib::frameBuffer, this, &Vorq_Cam::on_CameraView);
    connect(media, &Vorq_Medialib::recordingFailed, this, &Vorq_Cam::recordingFailed);

    settingGroup = new QButtonGroup(this);
    settingGroup->addButton(ui->bt_video, 0);
    settingGroup->addButton(ui->bt_audio, 1);
    settingGroup->addButton(ui->bt_AI, 2);
    settingGroup->addButton(ui->bt_upgrade, 3);

    // Built inside the page stack they are added to, so adding them does not
    // restyle each page a second time.
    videoPage = new Vorq_SettingVideo(ui->settingWidget);
    videoPage->connectControls(currentCamera);
    videoPage->presetRow()->setFrameSource([this] { return lastFrame; });
    videoPage->presetRow()->installShortcuts(this);
    audioPage = new Vorq_settingAudio(ui->settingWidget);
    aiPage = new Vorq_settingAI(ui->settingWidget);
    ui->settingWidget->addWidget(videoPage);
    ui->settingWidget->addWidget(audioPage);
    ui->settingWidget->addWidget(aiPage);
    ui->settingWidget->addWidget(Vorq_settingUpgrade::instance());

    ui->bt_video->setChecked(true);
    for (QPushButton* b : {ui->pushButton_preview, ui->bt_volume, ui->bt_microphone, ui->bt_record})
        b->setCheckable(true);
    ui->pushButton_preview->hide();
    ui->label_PreView->hide();

    ui->comboBox->setView(new QListView(ui->comboBox));
    // The rows' style sheet (height, the picture and the room left for it)
    // takes effect only through a styled delegate.
    ui->comboBox->setItemDelegate(new QStyledItemDelegate(ui->comboBox));
    ui->comboBox->setStyleSheet(comboStyle());

    ui->label_check_for_new_firmware->hide();
    ui->label_version->setText(QStringLiteral(""));
    showRecordTime(QString());

    initSpeakerPopup();
    initMicrophonePopup();
    arrangeTabOrder();
    captureState(captureActive);
}

void Vorq_Cam::arrangeTabOrder()
{
    QList<QWidget*> order{ui->bt_video, ui->bt_audio, ui->bt_AI, ui->bt_upgrade};
    // Each page keeps its own order; hidden pages are skipped by Tab.
    for (int page = 0; page < ui->settingWidget->count(); ++page) {
        QWidget* pageWidget = ui->settingWidget->widget(page);
        for (QWidget* w = nextInFocusChain(); w != this; w = w->nextInFocusChain())
            if (pageWidget->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy()) order << w;
    }
    order << ui->pushButton_preview << ui->comboBox_mode << ui->bt_volume << speaker->slider() << ui->bt_microphone
          << microphone->slider() << ui->bt_shot << ui->bt_record << ui->comboBox << ui->label_cameraview;
    for (int i = 1; i < order.size(); ++i) setTabOrder(order.at(i - 1), order.at(i));
}

void Vorq_Cam::wireSignals()
{
    connect(settingGroup, &QButtonGroup::idClicked, this, &Vorq_Cam::on_ChangeSettingUI);
    connect(ui->pushButton_preview, &QPushButton::toggled, this, &Vorq_Cam::pushButton_preview_checked);
    connect(ui->comboBox, QOverload<int>::of(&QComboBox::activated), this, &Vorq_Cam::comboBox_activated);
    connect(ui->comboBox_mode, &CaptureModeBox::modeChosen, this, &Vorq_Cam::captureModeChosen);
    scanTimer = new QTimer(this);
    connect(scanTimer, &QTimer::timeout, this, &Vorq_Cam::checkValidCamerasList);
    scanTimer->start(kScanIntervalMs);
    connect(this, &Vorq_Cam::cameraListChange, this, &Vorq_Cam::on_CameraListChange);
    connect(this, &Vorq_Cam::checkValidCameraList, this, &Vorq_Cam::updateCameraComboBox);
    connect(videoPage, &Vorq_SettingVideo::versionInfo, this, &Vorq_Cam::label_version_TextChange);
    connect(videoPage, &Vorq_SettingVideo::checkUpStatus, this, &Vorq_Cam::label_check_for_new_firmware_Change);
    connect(ui->bt_shot, &QPushButton::clicked, this, &Vorq_Cam::bt_shot_Clicked);
    connect(ui->bt_record, &QPushButton::toggled, this, &Vorq_Cam::bt_record_Clicked);
    connect(Vorq_settingUpgrade::instance(), &Vorq_settingUpgrade::disConnectDevice, this, &Vorq_Cam::releaseCamera);
    connect(Vorq_settingUpgrade::instance(), &Vorq_settingUpgrade::reConnectDevice, this, &Vorq_Cam::reopenCamera);
    connect(this, &Vorq_Cam::cameraId, Vorq_settingUpgrade::instance(), &Vorq_settingUpgrade::onCameraIDChange);
    connect(audioPage, &Vorq_settingAudio::audioReboot, this, &Vorq_Cam::releaseCamera);
    connect(this, &Vorq_Cam::signalReboot, videoPage, &Vorq_SettingVideo::captureState);
    connect(this, &Vorq_Cam::signalReboot, audioPage, &Vorq_settingAudio::captureState);
    connect(this, &Vorq_Cam::signalReboot, Vorq_settingUpgrade::instance(), &Vorq_settingUpgrade::captureState);
    connect(this, &Vorq_Cam::signalReboot, this, &Vorq_Cam::captureState);
}

// --- pages and capture state ----------------------------------------------------

void Vorq_Cam::on_ChangeSettingUI(int id) { ui->settingWidget->setCurrentIndex(id); }

void Vorq_Cam::label_version_TextChange(QString info)
{
    qDebug().noquote() << "label_version_TextChange: " + info;
    ui->label_version->setVisible(true);
    ui->label_version->setText(info);
}

void Vorq_Cam::label_check_for_new_firmware_Change(bool) {}

void Vorq_Cam::captureState(bool state)
{
    captureActive = state;
    if (state) {
        ui->label_version->show();
        ui->label_PreView->show();
        ui->pushButton_preview->show();
        refreshMicrophoneLevel();
        refreshSpeakerLevel();
        return;
    }
    for (QPushButton* b : {ui->bt_volume, ui->bt_microphone, ui->bt_shot, ui->bt_record}) b->setEnabled(false);
    ui->label_PreView->hide();
    ui->pushButton_preview->setChecked(false);
    ui->pushButton_preview->hide();
    ui->label_version->hide();
    ui->comboBox->setCurrentIndex(0);
    currentIndex = 0;
    showSelectedRow();
}

void Vorq_Cam::reopenCamera()
{
    // Only a camera that was given up and is still attached; a camera the
    // user opened meanwhile stays.
    if (currentIndex > 0 || captureActive) return;
    const int key = CameraScan::keyOf(cameraTable, currentCamera);
    if (key > 0) comboBox_activated(key);
}

void Vorq_Cam::releaseCamera()
{
    // Before the capture stops: a recording is finalised only while its
    // capture still runs.
    endRecording();
    if (media) media->StopCapture();
    ui->label_cameraview->clear();
    ui->pushButton_preview->hide();
    ui->label_PreView->hide();
    ui->comboBox->setCurrentIndex(0);
    currentIndex = 0;
    showSelectedRow();
    emit signalReboot(false);
}

// --- camera discovery and selection --------------------------------------------------

void Vorq_Cam::checkValidCamerasList()
{
    QList<CameraInfo> accepted;
    CameraTable table = CameraScan::build(CameraInfo::availableCameras(), accepted);
    // Compared by contents: a camera swapped for another between two scans
    // is a change too.
    const bool changed = accepted != lastCameraList;
    const CameraInfo selected = currentIndex > 0 ? cameraTable.value(currentIndex).camera : CameraInfo();
    const QList<CameraInfo> previous = lastCameraList;
    cameraTable = table;
    lastCameraList = accepted;
    if (changed) {
        // The selection stays with its camera when rows shift.
        if (currentIndex > 0) {
            const int key = CameraScan::keyOf(cameraTable, selected);
            if (key > 0) currentIndex = key;
        }
        // Refilled only on a change, so an open drop-down stays usable.
        emit checkValidCameraList(accepted);
        // Announced while the open camera still counts as open, so a camera
        // that was attached beside it is not opened in its place: with two
        // or more cameras the user chooses.
        emit cameraListChange();
        if (CameraScan::keyOf(cameraTable, currentCamera) == 0) {
            comboBox_activated(0);
            // One plugged in as the open one went (a swap within one scan)
            // is a newcomer, opened like any sole camera that arrives.
            if (cameraTable.size() == 1 && !previous.contains(cameraTable.first().camera)) comboBox_activated(1);
        }
    }
    if (cameraTable.isEmpty()) qDebug() << "no device find....";
}

void Vorq_Cam::updateCameraComboBox(QList<CameraInfo>& list)
{
    ui->comboBox->clear();
    ui->comboBox->addItem(QStringLiteral("No camera selected"));
    for (const CameraInfo& camera : list) {
        ui->comboBox->addItem(camera.description(), camera.deviceName());
        ui->comboBox->setItemData(ui->comboBox->count() - 1, camera.description(), kBaseTextRole);
    }
    showSelectedRow();
}

void Vorq_Cam::showSelectedRow()
{
    QComboBox* box = ui->comboBox;
    for (int row = 1; row < box->count(); ++row) {
        QString text = box->itemData(row, kBaseTextRole).toString();
        if (row == currentIndex) text += kConnectedSuffix;
        if (box->itemText(row) != text) box->setItemText(row, text);
    }
    const int row = currentIndex >= 0 && currentIndex < box->count() ? currentIndex : 0;
    if (box->currentIndex() != row) box->setCurrentIndex(row);
}

void Vorq_Cam::on_CameraListChange()
{
    if (!captureActive && cameraTable.size() == 1) comboBox_activated(1);
}

void Vorq_Cam::comboBox_activated(int index)
{
    ui->label_cameraview->clear();
    if (index == currentIndex) return;
    if (index != 0 && !cameraTable.contains(index)) {
        // A row of no scan: keep the selection as it is.
        qDebug() << "no camera at row" << index;
        showSelectedRow();
        return;
    }
    currentIndex = index;
    if (index != 0) {
        const CameraEntry entry = cameraTable.value(index);
        qDebug().noquote() << "\x1b[32m camera: " + entry.camera.description() + "\x1b[m";
        qDebug().noquote() << "\x1b[32m cameraid: " + QString::number(entry.acceptedOrdinal) + "\x1b[m";
        if (!media) return;
        qDebug().noquote() << "open camera name: " + entry.camera.description() + " id: " +
                                  QString::number(entry.acceptedOrdinal);
        emit cameraId(entry.usbOrdinal);
        openCamera(index);
        return;
    }
    endRecording();
    if (media) media->StopCapture();
    ui->bt_microphone->setStyleSheet(kMicMuted);
    ui->bt_volume->setStyleSheet(kSpeakerMuted);
    ui->comboBox->setCurrentIndex(0);
    ui->label_cameraview->clear();
    ui->pushButton_preview->setChecked(false);
    ui->pushButton_preview->hide();
    ui->label_PreView->hide();
    currentIndex = 0;
    showSelectedRow();
    emit signalReboot(false);
    emit cameraId(-1);
}

void Vorq_Cam::openCamera(int key)
{
    if (!media) return;
    const CameraEntry entry = cameraTable.value(key);
    media->SetCapture(entry.camera.description().toUtf8().toStdString(), entry.acceptedOrdinal);
    currentCamera = entry.camera;
    videoPage->setCameraInfo(currentCamera);
    videoPage->captureState(true);
    videoPage->bindCamera();
    loadCaptureModes();
    audioPage->readAudioStates();
    ui->pushButton_preview->show();
    ui->label_PreView->show();
    ui->pushButton_preview->setChecked(false);
    showSelectedRow();
    emit signalReboot(true);
}

void Vorq_Cam::loadCaptureModes()
{
    const QString kept = videoPage->keptSettings().keptText(QStringLiteral("CaptureMode"));
    ui->comboBox_mode->setModes(OfferedModes::of(currentCamera.deviceName()), kept);
    ui->comboBox_mode->setEnabled(!recordTimer);
    applyCaptureMode();
}

void Vorq_Cam::applyCaptureMode()
{
    if (!media) return;
    CaptureModeBox::Mode mode;
    if (!ui->comboBox_mode->currentMode(mode)) {
        // The camera did not tell: ask for the usual mode and let the
        // platform layer pick the nearest.
        mode = CaptureModeBox::Mode{QStringLiteral("mjpeg"), 800, 600, 30};
    }
    media->SetInputFormat(mode.format.toStdString());
    media->SetVideoSize(QStringLiteral("%1x%2").arg(mode.width).arg(mode.height).toStdString());
    media->SetFramrate(std::max(1, static_cast<int>(std::lround(mode.frameRate))));
}

void Vorq_Cam::captureModeChosen()
{
    CaptureModeBox::Mode mode;
    if (!ui->comboBox_mode->currentMode(mode) || recordTimer) return;
    KeptCameraSettings kept = videoPage->keptSettings();
    kept.keepText(QStringLiteral("CaptureMode"), CaptureModeBox::keyOf(mode));
    applyCaptureMode();
    if (!media || !ui->pushButton_preview->isChecked()) return;
    qDebug().noquote() << "capture mode " + CaptureModeBox::keyOf(mode) + ": restarting the capture";
    media->StopCapture();
    media->StartCapture();
    if (!media->CaptureIsOpen()) {
        // As when the switch is turned on: say why, and leave it off.
        showCameraInUse();
        const QSignalBlocker quiet(ui->pushButton_preview);
        ui->pushButton_preview->setChecked(false);
        setMediaButtonsEnabled(false);
    }
}

// --- live preview ---------------------------------------------------------------------

void Vorq_Cam::pushButton_preview_checked(bool status)
{
    ui->label_cameraview->setAccessibleDescription(QString());
    if (status) {
        qDebug() << "start camera...\n";
        if (media) media->StartCapture();
        if (media && !media->CaptureIsOpen() && !media->EngineProblem().empty()) {
            // Not the camera's fault: the program's media part is missing.
            PreviewLabel* view = ui->label_cameraview;
            const QString reason = QStringLiteral("No preview available: the media engine could not be loaded");
            view->setText(reason);
            view->setAccessibleDescription(reason);
            if (!view->styleSheet().contains(QStringLiteral("color: white")))
                view->setStyleSheet(view->styleSheet() + QStringLiteral("color: white;"));
            view->show();
            const QSignalBlocker quiet(ui->pushButton_preview);
            ui->pushButton_preview->setChecked(false);
            return;
        }
        if (media && !media->CaptureIsOpen() && !CameraInfo::availableCameras().isEmpty()) {
            showCameraInUse();
            // No preview runs: the switch says so, and pressing it again retries.
            const QSignalBlocker quiet(ui->pushButton_preview);
            ui->pushButton_preview->setChecked(false);
            return;
        }
        ui->label_cameraview->show();
        setMediaButtonsEnabled(true);
        return;
    }
    qDebug() << "stop camera...";
    endRecording();
    showRecordTime(QString());
    if (media) media->StopCapture();
    ui->label_cameraview->hide();
    setMediaButtonsEnabled(false);
}

void Vorq_Cam::on_CameraView(uint8_t* buffer, int width, int height)
{
    if (!media || !media->CaptureIsOpen() || !buffer || width <= 0 || height <= 0) return;
    // The engine lets us hold its picture, so the frame is kept for snapshots
    // and shown without a copy; the image releases it when the next one comes.
    std::shared_ptr<const uint8_t> held = media->HoldFrameBuffer(buffer);
    if (held) {
        auto* keeper = new std::shared_ptr<const uint8_t>(std::move(held));
        lastFrame = QImage(
            keeper->get(), width, height, width * 3, QImage::Format_RGB888,
            [](void* info) { delete static_cast<std::shared_ptr<const uint8_t>*>(info); }, keeper);
    } else {
        // A buffer the engine will reuse: keep our own copy.
        lastFrame = QImage(buffer, width, height, width * 3, QImage::Format_RGB888).copy();
    }
    ui->label_cameraview->showFrame(lastFrame);
}

void Vorq_Cam::setMediaButtonsEnabled(bool enabled)
{
    for (QPushButton* b : {ui->bt_volume, ui->bt_microphone, ui->bt_shot, ui->bt_record}) b->setEnabled(enabled);
}

void Vorq_Cam::showCameraInUse()
{
    PreviewLabel* view = ui->label_cameraview;
    if (ui->pushButton_preview->isChecked()) {
        view->setText(QStringLiteral("Camera in use - no preview available"));
        view->setStyleSheet(view->styleSheet() + QStringLiteral("color: white; font: 20px \"DejaVu Sans\";"));
        view->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        const QPixmap notice(QStringLiteral(":/UI/Word/inuse.png"));
        view->setPixmap(notice.scaled(285, 29, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        // The picture replaces the words; a screen reader still gets them.
        view->setAccessibleDescription(QStringLiteral("Camera in use - no preview available"));
    }
    view->show();
    ui->pushButton_preview->show();
    ui->label_PreView->show();
}

// --- snapshot and recording --------------------------------------------------------------

QString Vorq_Cam::askMediaFileName(const QString& caption, const QString& folder, const QString& filter)
{
    const QString name = MediaFileName::timeStamp(QDateTime::currentDateTime());
    QString proposed = QDir(folder).filePath(name);
    if (!QDir().mkpath(folder)) {
        qDebug().noquote() << "cannot create " + folder;
        UserDialogs::current().warning(nullptr, QStringLiteral("Notice"),
                                       QStringLiteral("The folder %1 could not be created. Please choose another folder.")
                                           .arg(QDir::toNativeSeparators(folder)));
        proposed = QDir::home().filePath(name);
    }
    QString selected = filter.section(QStringLiteral(";;"), 0, 0);
    const QString answer = UserDialogs::current().saveFileName(this, caption, proposed, filter, &selected);
    if (answer.isNull()) return answer;
    const QString path = MediaFileName::withExtension(answer, filter, selected);
    // The dialog asked about replacing the name as typed, not this one.
    if (path != answer && QFileInfo::exists(path) &&
        !UserDialogs::current().question(nullptr, QStringLiteral("Notice"),
                                         QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                             .arg(QFileInfo(path).fileName())))
        return QString();
    return path;
}

void Vorq_Cam::bt_shot_Clicked()
{
    if (!media) return;
    const QString path = askMediaFileName(tr("Save Picture"), ProgramFolders::snapshotFolder(),
                                          QStringLiteral("PNG(*.png);;JPG(*.jpg);;BMP(*.bmp);;TIF(*.tif)"));
    if (path.isNull()) return;
    lastSnapshotPath = path;
    if (!lastFrame.save(path)) {
        qDebug().noquote() << "save failed: " + path;
        UserDialogs::current().warning(nullptr, QStringLiteral("Notice"), QStringLiteral("Photo save failed"));
        return;
    }
    UserDialogs::current().information(nullptr, QStringLiteral("Notice"), QStringLiteral("Photo save successful "));
    qDebug() << "save ok";
}

void Vorq_Cam::bt_record_Clicked(bool state)
{
    if (!media) return;
    if (state) {
        qDebug() << "start recoder...";
        recordFilePath = askMediaFileName(tr("Please select video save path"), ProgramFolders::recordingFolder(),
                                          QStringLiteral("MP4(*.mp4)"));
        if (recordFilePath.isNull()) {
            ui->bt_record->setChecked(false);
            return;
        }
        // The platform's file-name encoding, so every path the dialog gives
        // reaches the engine intact.
        media->SetRecordFileName(QFile::encodeName(recordFilePath).constData());
        media->SetCaptureMicrophone(kMicrophoneName, 0);
        if (media->StartRecord() != 1) {
            qDebug().noquote() << "recording did not start: " + recordFilePath;
            // Nothing to stop: the unchecked button must not claim a saved video.
            recordFilePath = QString();
            ui->bt_record->setChecked(false);
            UserDialogs::current().warning(nullptr, QStringLiteral("Notice"),
                                           QStringLiteral("Video recording could not be started"));
            return;
        }
        // A new mode would restart the capture under the recording.
        ui->comboBox_mode->setEnabled(false);
        recordTimer = new QTimer;
        recordStartTime = QTime::currentTime();
        connect(recordTimer, &QTimer::timeout, this, &Vorq_Cam::updateRecordTime);
        recordTimer->setTimerType(Qt::PreciseTimer);
        recordTimer->start(1);
        return;
    }
    if (recordFilePath.isNull()) return;
    qDebug() << "stop recoder...";
    media->StopRecord();
    ui->comboBox_mode->setEnabled(true);
    if (recordTimer) {
        recordTimer->stop();
        delete recordTimer;
        recordTimer = nullptr;
    }
    showRecordTime(QString());
    UserDialogs::current().information(nullptr, QStringLiteral("Notice"), QStringLiteral("Video save successful "));
}

void Vorq_Cam::recordingFailed(int errnum)
{
    if (!recordTimer) return;
    const QString path = recordFilePath;
    endRecording();
    // The engine already stopped and kept what was written: the button's
    // stop branch has nothing left to do and must not claim a saved video.
    recordFilePath = QString();
    ui->bt_record->setChecked(false);
    qDebug().noquote() << "recording stopped by a write error: " + path;
    UserDialogs::current().warning(
        nullptr, QStringLiteral("Notice"),
        QStringLiteral("Video recording stopped: the file could not be written (%1). "
                       "What was recorded until then is saved in %2")
            .arg(QString::fromLocal8Bit(std::strerror(errnum)), QDir::toNativeSeparators(path)));
}

void Vorq_Cam::endRecording()
{
    if (!recordTimer) return;
    if (recordTimer->isActive()) {
        recordTimer->stop();
        if (media) media->StopRecord();
    }
    delete recordTimer;
    recordTimer = nullptr;
    ui->comboBox_mode->setEnabled(true);
    showRecordTime(QString());
}

QString Vorq_Cam::recordTimeText(const QTime& start, const QTime& now)
{
    // msecsTo is negative across midnight; addMSecs wraps within the day.
    return QTime(0, 0).addMSecs(start.msecsTo(now)).toString(QStringLiteral("hh:mm:ss"));
}

void Vorq_Cam::updateRecordTime()
{
    const QTime now = QTime::currentTime();
    const QString text = recordTimeText(recordStartTime, now);
    if (ui->label_recordTime->text() != text) showRecordTime(text);
    // The shown text changes once a second: wake just after that moment
    // instead of every millisecond, which kept the GUI thread busy.
    if (recordTimer) recordTimer->setInterval(msecsToNextRecordSecond(recordStartTime, now));
}

int Vorq_Cam::msecsToNextRecordSecond(const QTime& start, const QTime& now)
{
    constexpr int kDay = 24 * 60 * 60 * 1000;
    const int elapsed = ((start.msecsTo(now) % kDay) + kDay) % kDay;
    return 1000 - elapsed % 1000 + 1;
}

void Vorq_Cam::showRecordTime(const QString& text)
{
    QLabel* label = ui->label_recordTime;
    const bool recording = !text.isEmpty();
    if (label->property("recording").toBool() != recording) {
        label->setProperty("recording", recording);
        // The plate's style sheet rule follows the property only when polished again.
        label->style()->unpolish(label);
        label->style()->polish(label);
        // Room for the mark and the plate's edge, in the size the text asks for.
        label->setContentsMargins(recording ? QMargins(34, 0, 12, 0) : QMargins());
        label->setText(QString());
    }
    label->setText(text);
}

// --- speaker and microphone -------------------------------------------------------------------

void Vorq_Cam::initSpeakerPopup()
{
    speaker = new VolumePopup(this, ui->bt_volume,
                              {QRect(797, 525, 52, 100), QRect(30, 83, 30, 22), kSpeakerMuted, kSpeakerActive,
                               getSpeakerVolume, setSpeakerVolume, QString(), QString::fromUtf8(kSpeakerName)});
    speaker->slider()->setAccessibleName(QStringLiteral("Speaker level"));
    connect(speaker->slider(), &QSlider::sliderMoved, this, &Vorq_Cam::horizontalSlider_Volume_sliderMoved);
}

void Vorq_Cam::initMicrophonePopup()
{
    microphone = new VolumePopup(this, ui->bt_microphone,
                                 {QRect(882, 525, 52, 100), QRect(30, 83, 16, 22), kMicMuted, kMicActive,
                                  getMicrophoneVolume, setMicrophoneVolume, QString::fromUtf8(kMicrophoneName)});
    microphone->slider()->setAccessibleName(QStringLiteral("Microphone level"));
    connect(microphone->slider(), &QSlider::sliderMoved, this, &Vorq_Cam::horizontalSlider_MicVolume_sliderMoved);
}

void Vorq_Cam::refreshSpeakerLevel() { speaker->refresh(); }

void Vorq_Cam::refreshMicrophoneLevel() { microphone->refresh(); }

void Vorq_Cam::horizontalSlider_Volume_sliderMoved(int position) { speaker->sliderMoved(position); }

void Vorq_Cam::horizontalSlider_MicVolume_sliderMoved(int position) { microphone->sliderMoved(position); }
