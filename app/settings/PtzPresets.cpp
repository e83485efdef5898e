#include "PtzPresets.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include "KeptCameraSettings.h"
#include "ProgramFolders.h"

namespace {

constexpr QSize kThumbnailSize(96, 54);

QString slotName(int slot) { return QStringLiteral("Preset%1").arg(slot); }

bool validSlot(int slot) { return slot >= 1 && slot <= PtzPresets::kSlots; }

struct Axis {
    long property;
    std::optional<long> PtzPresets::Position::*member;
    const char* name;
};
constexpr Axis kAxes[] = {
    {CameraControl_Pan, &PtzPresets::Position::pan, "pan"},
    {CameraControl_Tilt, &PtzPresets::Position::tilt, "tilt"},
    {CameraControl_Zoom, &PtzPresets::Position::zoom, "zoom"},
};

} // namespace

PtzPresets::PtzPresets(const QString& cameraKey) : key_(cameraKey) {}

bool PtzPresets::hasAbsoluteControls(IAMCameraControl* control)
{
    if (!control) return false;
    for (const Axis& a : kAxes) {
        long min = 0, max = 0, step = 0, def = 0, caps = 0;
        if (SUCCEEDED(control->GetRange(a.property, &min, &max, &step, &def, &caps)) && max > min) return true;
    }
    return false;
}

PtzPresets::Position PtzPresets::read(IAMCameraControl* control)
{
    Position position;
    if (!control) return position;
    for (const Axis& a : kAxes) {
        long min = 0, max = 0, step = 0, def = 0, caps = 0, value = 0, flags = 0;
        if (SUCCEEDED(control->GetRange(a.property, &min, &max, &step, &def, &caps)) && max > min &&
            SUCCEEDED(control->Get(a.property, &value, &flags)))
            position.*a.member = value;
    }
    return position;
}

bool PtzPresets::write(IAMCameraControl* control, const Position& position)
{
    if (!control || position.empty()) return false;
    bool all = true;
    for (const Axis& a : kAxes) {
        const std::optional<long>& value = position.*a.member;
        if (value && FAILED(control->Set(a.property, *value, CameraControl_Flags_Manual))) {
            qDebug().noquote() << QStringLiteral("preset: the camera refused %1=%2").arg(QLatin1String(a.name)).arg(*value);
            all = false;
        }
    }
    return all;
}

QString PtzPresets::text(const Position& position)
{
    QStringList parts;
    for (const Axis& a : kAxes)
        if (const std::optional<long>& v = position.*a.member) parts << QStringLiteral("%1=%2").arg(QLatin1String(a.name)).arg(*v);
    return parts.join(QLatin1Char(' '));
}

bool PtzPresets::parse(const QString& text, Position& position)
{
    Position parsed;
    static const QRegularExpression part(QStringLiteral("^(pan|tilt|zoom)=(-?[0-9]{1,9})$"));
    for (const QString& item : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = part.match(item);
        if (!m.hasMatch()) return false;
        for (const Axis& a : kAxes)
            if (m.captured(1) == QLatin1String(a.name)) {
                if (parsed.*a.member) return false; // said twice
                parsed.*a.member = m.captured(2).toLong();
            }
    }
    if (parsed.empty()) return false;
    position = parsed;
    return true;
}

QString PtzPresets::thumbnailPath(int slot) const
{
    if (key_.isEmpty() || !validSlot(slot)) return QString();
    // Beside the kept settings; the key is percent-encoded so a serial number
    // cannot make a path.
    const QDir folder = QFileInfo(ProgramFolders::cameraSettingsFile()).dir();
    // One arg() call: the encoded key's "%2F" must not be taken for a marker.
    return folder.filePath(QStringLiteral("presets/%1-%2.png")
                               .arg(QString::fromLatin1(QUrl::toPercentEncoding(key_)), QString::number(slot)));
}

bool PtzPresets::save(int slot, const Position& position, const QImage& picture) const
{
    if (key_.isEmpty() || !validSlot(slot) || position.empty()) return false;
    KeptCameraSettings(key_).keepText(slotName(slot), text(position));
    const QString path = thumbnailPath(slot);
    if (picture.isNull()) {
        // No preview: an old picture would show another position.
        QFile::remove(path);
        return true;
    }
    QDir().mkpath(QFileInfo(path).path());
    const QImage small = picture.scaled(kThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!small.save(path, "PNG")) qDebug().noquote() << "preset picture not kept: cannot write " + path;
    return true;
}

std::optional<PtzPresets::Position> PtzPresets::position(int slot) const
{
    if (key_.isEmpty() || !validSlot(slot)) return std::nullopt;
    const QString kept = KeptCameraSettings(key_).keptText(slotName(slot));
    Position p;
    if (kept.isEmpty()) return std::nullopt;
    if (!parse(kept, p)) {
        qDebug().noquote() << "kept preset ignored: " + slotName(slot) + "=" + kept;
        return std::nullopt;
    }
    return p;
}

QImage PtzPresets::thumbnail(int slot) const
{
    const QString path = thumbnailPath(slot);
    return path.isEmpty() ? QImage() : QImage(path);
}
