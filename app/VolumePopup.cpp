#include "VolumePopup.h"

#include <algorithm>
#include <cmath>

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include "LevelWorker.h"
#include "platform/PeakMeter.h"
#include "platform/TestTone.h"

namespace {

const char* kSliderStyle =
    "QSlider { background: transparent; }"
    "QSlider::groove:vertical { width: 20px; border-image: url(:/UI/Slider/slider_vertical.png); }"
    "QSlider::handle:vertical { height: 20px; width: 20px; margin: 0 -2px; "
    "border-image: url(:/UI/Slider/thumb.png); }";

const char* kLabelStyle = "color: rgb(9, 106, 178); font: 10px \"DejaVu Sans\"; background: transparent; border: none;";

bool isSilent(float level) { return std::fabs(level) <= 0.00001f; }

} // namespace

VolumePopup::VolumePopup(QWidget* window, QPushButton* button, Config config)
    : QObject(window), button_(button), config_(std::move(config))
{
    slider_ = new QSlider(Qt::Vertical, window);
    slider_->setGeometry(config_.sliderGeometry);
    slider_->setStyleSheet(kSliderStyle);
    slider_->hide();
    slider_->setRange(0, 100);
    // Reached with Tab after its button; a mouse drag leaves the focus alone,
    // so the popup still hides after the drag.
    slider_->setFocusPolicy(Qt::TabFocus);

    valueLabel_ = new QLabel(slider_);
    valueLabel_->setGeometry(config_.labelGeometry);
    valueLabel_->setStyleSheet(kLabelStyle);

    worker_ = std::make_unique<LevelWorker>(config_.read, config_.write, [this](float level, unsigned number) {
        QMetaObject::invokeMethod(this, [this, level, number] { showRead(level, number); }, Qt::QueuedConnection);
    });
    refresh();

    hideTimer_ = new QTimer(this);
    hideTimer_->setSingleShot(true);
    slider_->setPageStep(0);

    connect(button_, &QPushButton::toggled, this, [this](bool checked) {
        refresh();
        if (checked) {
            slider_->show();
            slider_->raise();
        } else {
            hideTimer_->stop();
            slider_->hide();
        }
    });
    connect(hideTimer_, &QTimer::timeout, this, [this] {
        // Someone is setting the level from the keyboard; leaving the slider
        // arms the timer again.
        if (slider_->hasFocus()) return;
        slider_->hide();
        button_->setChecked(false);
    });
    connect(slider_, &QSlider::sliderReleased, this, [this] { armHideTimer(kReleaseHideMs); });
    connect(button_, &QPushButton::released, this, [this] { armHideTimer(kButtonHideMs); });
    // Keys and the wheel move the slider without sliderMoved; the level
    // follows them as it follows a drag.
    connect(slider_, &QSlider::actionTriggered, this, [this](int) {
        if (slider_->isSliderDown()) return;
        sliderMoved(slider_->sliderPosition());
        // A wheel turn over the slider ends like a drag.
        if (!slider_->hasFocus()) armHideTimer(kReleaseHideMs);
    });
    if (!config_.meterSource.isEmpty()) {
        meter_ = new QProgressBar(window);
        meter_->setOrientation(Qt::Vertical);
        meter_->setRange(0, 100);
        meter_->setValue(0);
        meter_->setTextVisible(false);
        const QRect s = config_.sliderGeometry;
        meter_->setGeometry(s.right() + 2, s.top() + 6, 8, s.height() - 12);
        meter_->setAccessibleName(QStringLiteral("Microphone input level"));
        meter_->setToolTip(QStringLiteral("Microphone input level"));
        meter_->hide();
    }
    if (!config_.toneSink.isEmpty()) {
        toneButton_ = new QPushButton(QStringLiteral("Test"), window);
        const QRect s = config_.sliderGeometry;
        toneButton_->setGeometry(s.right() + 2, s.bottom() - 23, 40, 24);
        toneButton_->setFocusPolicy(Qt::TabFocus);
        toneButton_->setAccessibleName(QStringLiteral("Play test tone"));
        toneButton_->setToolTip(QStringLiteral("Play a short test tone on the camera's speaker"));
        toneButton_->hide();
        connect(toneButton_, &QPushButton::clicked, this, &VolumePopup::playTone);
    }
    slider_->installEventFilter(this);
    button_->installEventFilter(this);
}

void VolumePopup::playTone()
{
    if (!toneButton_ || !toneButton_->isEnabled()) return;
    toneButton_->setEnabled(false);
    armHideTimer(kToneMs + kButtonHideMs);
    if (toneThread_.joinable()) toneThread_.join(); // the last tone ended already
    // The sound server is asked off the GUI thread; the wait is bounded.
    toneThread_ = std::thread([this, sink = config_.toneSink.toStdString()] {
        std::string error;
        const bool ok = vorq::platform::TestTone::play(sink, kToneMs, 2000, &error);
        if (!ok) qWarning("test tone: %s", error.c_str());
        QMetaObject::invokeMethod(
            this,
            [this, ok] {
                toneButton_->setEnabled(true);
                emit tonePlayed(ok);
            },
            Qt::QueuedConnection);
    });
}

void VolumePopup::setMeterRunning(bool run)
{
    if (!meter_ || run == (peakMeter_ != nullptr)) return;
    if (!run) {
        peakMeter_.reset();
        meter_->setValue(0);
        meter_->hide();
        return;
    }
    meter_->show();
    meter_->raise();
    // Peaks arrive on the meter's thread; the bar moves on ours.
    peakMeter_ = vorq::platform::PeakMeter::start(
        config_.meterSource.toStdString(), kMeterRate, 1000,
        [this](float peak) {
            QMetaObject::invokeMethod(
                this, [this, peak] { if (meter_ && peakMeter_) meter_->setValue(static_cast<int>(std::lround(peak * 100))); },
                Qt::QueuedConnection);
        },
        [](const std::string& why) { qWarning("microphone level meter: %s", why.c_str()); });
}

VolumePopup::~VolumePopup()
{
    // Before the widgets its answers would reach are gone.
    if (toneThread_.joinable()) toneThread_.join();
    peakMeter_.reset();
    worker_.reset();
}

void VolumePopup::refresh()
{
    readWanted_ = worker_->requestRead();
}

void VolumePopup::showRead(float level, unsigned number)
{
    // Only the answer to the newest refresh: an older answer still on its
    // way would show a level from before a move.
    if (readWanted_ == 0 || number != readWanted_) return;
    readWanted_ = 0;
    // Nothing answered: the slider shows silence rather than a stale value.
    if (isSilent(level)) {
        slider_->setValue(0);
        button_->setStyleSheet(config_.mutedStyle);
    } else {
        // Rounded: the server stores levels in steps that rarely land on a
        // whole percent, and 37 must read back as 37, not 36.
        slider_->setValue(static_cast<int>(std::lround(level)));
        button_->setStyleSheet(config_.activeStyle);
    }
    showLevel(slider_->value());
}

void VolumePopup::sliderMoved(int position)
{
    readWanted_ = 0;
    showLevel(position);
    hideTimer_->stop();
    slider_->show();
    worker_->requestWrite(static_cast<float>(position));
    button_->setStyleSheet(position == 0 ? config_.mutedStyle : config_.activeStyle);
}

void VolumePopup::showLevel(int level)
{
    valueLabel_->setText(QString::number(level));
    // As wide as "100" needs at the font in use, so no value is cut.
    valueLabel_->ensurePolished();
    const int width = valueLabel_->fontMetrics().horizontalAdvance(QStringLiteral("100")) + 2;
    valueLabel_->resize(width, config_.labelGeometry.height());
    placeLabel(level);
}

bool VolumePopup::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        !slider_->isHidden()) {
        close();
        return true;
    }
    // The meter listens only while the popup is open.
    if (watched == slider_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        setMeterRunning(event->type() == QEvent::Show);
        if (toneButton_) {
            toneButton_->setVisible(event->type() == QEvent::Show);
            toneButton_->raise();
        }
    }
    if (watched == slider_ && event->type() == QEvent::FocusOut && !slider_->isHidden())
        armHideTimer(kReleaseHideMs);
    return QObject::eventFilter(watched, event);
}

void VolumePopup::close()
{
    // The focus goes back to the button rather than nowhere.
    if (slider_->hasFocus()) button_->setFocus(Qt::OtherFocusReason);
    hideTimer_->stop();
    slider_->hide();
    button_->setChecked(false);
}

void VolumePopup::placeLabel(int level)
{
    // The label rides with the handle: y 83 at 0, y 3 at 100.
    const int y = config_.labelGeometry.y() - static_cast<int>(level * 0.8);
    // Inside the slider, whose bounds would cut it.
    const int x = std::max(0, std::min(config_.labelGeometry.x(), slider_->width() - valueLabel_->width()));
    valueLabel_->move(x, y);
}

void VolumePopup::armHideTimer(int ms)
{
    hideTimer_->stop();
    hideTimer_->start(ms);
}
