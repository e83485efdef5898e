#include "CaptureModeBox.h"

#include <algorithm>
#include <set>

#include <QEvent>
#include <QRegularExpression>

#include "platform/CaptureModes.h"

using vorq::platform::CaptureMode;

namespace {

// Users pick by size first; MJPEG leads because raw formats at large sizes
// run at a fraction of the listed rate over USB 2.
int formatRank(const QString& format)
{
    if (format == QLatin1String("mjpeg")) return 0;
    if (format == QLatin1String("yuyv422")) return 1;
    return 2;
}

QString rateText(double rate) { return QString::number(rate, 'g', 4); }

} // namespace

CaptureModeBox::CaptureModeBox(QWidget* parent) : QComboBox(parent)
{
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(this, QOverload<int>::of(&QComboBox::activated), this, [this](int row) {
        if (row == lastRow_) return;
        lastRow_ = row;
        emit modeChosen();
    });
}

void CaptureModeBox::followVisibility(QWidget* leader)
{
    leader_ = leader;
    leader->installEventFilter(this);
    updateVisibility();
}

bool CaptureModeBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == leader_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) updateVisibility();
    return QComboBox::eventFilter(watched, event);
}

void CaptureModeBox::updateVisibility()
{
    if (leader_) setVisible(!leader_->isHidden() && count() > 0);
}

QString CaptureModeBox::keyOf(const Mode& mode)
{
    return QStringLiteral("%1 %2x%3@%4").arg(mode.format).arg(mode.width).arg(mode.height).arg(rateText(mode.frameRate));
}

bool CaptureModeBox::parseKey(const QString& key, Mode& mode)
{
    static const QRegularExpression pattern(QStringLiteral("^([a-z0-9_]+) ([0-9]{1,5})x([0-9]{1,5})@([0-9]+(\\.[0-9]+)?)$"));
    const QRegularExpressionMatch m = pattern.match(key);
    if (!m.hasMatch()) return false;
    Mode parsed{m.captured(1), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toDouble()};
    if (parsed.width <= 0 || parsed.height <= 0 || parsed.frameRate <= 0 || parsed.frameRate > 1000) return false;
    mode = parsed;
    return true;
}

void CaptureModeBox::setModes(const std::vector<CaptureMode>& offered, const QString& kept)
{
    std::vector<Mode> modes;
    std::set<QString> formats;
    for (const CaptureMode& m : offered) {
        // Only what FFmpeg's capture can open is worth offering.
        if (m.format.empty() || m.width <= 0 || m.height <= 0) continue;
        const QString format = QString::fromStdString(m.format);
        formats.insert(format);
        for (double rate : m.frameRates)
            if (rate > 0 && rate <= 1000) modes.push_back(Mode{format, m.width, m.height, rate});
    }
    std::sort(modes.begin(), modes.end(), [](const Mode& a, const Mode& b) {
        if (a.width * a.height != b.width * b.height) return a.width * a.height < b.width * b.height;
        if (a.frameRate != b.frameRate) return a.frameRate > b.frameRate;
        return formatRank(a.format) < formatRank(b.format);
    });

    clear();
    // The format is worth showing only when the camera offers more than one.
    const bool showFormat = formats.size() > 1;
    for (const Mode& m : modes) {
        QString text = QStringLiteral("%1x%2 %3 fps").arg(m.width).arg(m.height).arg(rateText(m.frameRate));
        if (showFormat) text += QLatin1Char(' ') + m.format.toUpper().replace(QLatin1String("YUYV422"), QLatin1String("YUYV"));
        addItem(text, keyOf(m));
    }
    int row = kept.isEmpty() ? -1 : findData(kept);
    vorq::platform::NegotiatedMode usual;
    if (row < 0 && vorq::platform::CaptureModes::negotiate(offered, "mjpeg", 800, 600, 30, usual))
        row = findData(keyOf(Mode{QString::fromStdString(usual.format), usual.width, usual.height, usual.frameRate}));
    if (row < 0) row = 0;
    if (count() > 0) setCurrentIndex(row);
    lastRow_ = currentIndex();
    updateVisibility();
}

bool CaptureModeBox::currentMode(Mode& mode) const
{
    return currentIndex() >= 0 && parseKey(currentData().toString(), mode);
}
