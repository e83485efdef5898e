#include "KeptCameraSettings.h"

#include <QDebug>
#include <QSettings>
#include <QUrl>

#include "ProgramFolders.h"
#include "device/CameraDevice.h"

namespace {

struct Control {
    const char* name;
    bool cameraControl; // else proc-amp
    long property;
    bool hasAuto;
};

// The picture controls of the properties dialog. Pan, tilt and zoom are where
// the camera points, which the motion pad and "home" change as well: they are
// not kept.
constexpr Control kControls[] = {
    {"Brightness", false, VideoProcAmp_Brightness, false},
    {"Contrast", false, VideoProcAmp_Contrast, false},
    {"Hue", false, VideoProcAmp_Hue, false},
    {"Saturation", false, VideoProcAmp_Saturation, false},
    {"Sharpness", false, VideoProcAmp_Sharpness, false},
    {"Gamma", false, VideoProcAmp_Gamma, false},
    {"WhiteBalance", false, VideoProcAmp_WhiteBalance, true},
    {"BacklightCompensation", false, VideoProcAmp_BacklightCompensation, false},
    {"Gain", false, VideoProcAmp_Gain, false},
    {"PowerLineFrequency", false, VideoProcAmp_PowerlineFrequency, false},
    {"Exposure", true, CameraControl_Exposure, true},
    {"Iris", true, CameraControl_Iris, false},
    {"Focus", true, CameraControl_Focus, true},
};

const Control* findControl(const QString& name)
{
    for (const Control& c : kControls)
        if (name == QLatin1String(c.name)) return &c;
    return nullptr;
}

constexpr long kAuto = VideoProcAmp_Flags_Auto;
constexpr long kManual = VideoProcAmp_Flags_Manual;

// "auto", or the manual value.
QString text(const KeptCameraSettings::Value& v)
{
    return v.flags == kAuto ? QStringLiteral("auto") : QString::number(v.value);
}

bool parse(const QString& text, bool hasAuto, KeptCameraSettings::Value& v)
{
    if (text == QLatin1String("auto")) {
        v = {0, kAuto};
        return hasAuto;
    }
    bool ok = false;
    const long value = text.toLong(&ok);
    if (ok) v = {value, kManual};
    return ok;
}

void reportWriteFailure(QSettings& settings)
{
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qDebug().noquote() << "camera settings not kept: cannot write " + settings.fileName();
}

} // namespace

KeptCameraSettings::KeptCameraSettings(const QString& cameraKey) : key_(cameraKey) {}

QString KeptCameraSettings::group() const
{
    // A serial number is the camera's to choose: no '/' may make it a path.
    return QString::fromLatin1(QUrl::toPercentEncoding(key_));
}

KeptCameraSettings::Values KeptCameraSettings::read(CameraDevice& device)
{
    Values values;
    for (const Control& c : kControls) {
        long value = 0;
        long flags = 0;
        HRESULT hr = E_POINTER;
        if (!c.cameraControl)
            hr = device.getProcAmp(c.property, value, flags);
        else if (IAMCameraControl* control = device.cameraControl())
            hr = control->Get(c.property, &value, &flags);
        if (SUCCEEDED(hr)) values[QLatin1String(c.name)] = {value, flags};
    }
    return values;
}

void KeptCameraSettings::keepChanges(const Values& before, const Values& after)
{
    for (const auto& [name, value] : after) {
        const auto old = before.find(name);
        if (old != before.end() && old->second != value) keep(name, value);
    }
}

void KeptCameraSettings::keep(const QString& name, const Value& value)
{
    if (key_.isEmpty() || !findControl(name)) return;
    QSettings settings(ProgramFolders::cameraSettingsFile(), QSettings::IniFormat);
    settings.beginGroup(group());
    settings.setValue(name, text(value));
    settings.endGroup();
    reportWriteFailure(settings);
}

void KeptCameraSettings::keepSwitch(const QString& name, bool on)
{
    if (key_.isEmpty()) return;
    QSettings settings(ProgramFolders::cameraSettingsFile(), QSettings::IniFormat);
    settings.beginGroup(group());
    settings.setValue(name, on);
    settings.endGroup();
    reportWriteFailure(settings);
}

void KeptCameraSettings::keepText(const QString& name, const QString& text)
{
    if (key_.isEmpty()) return;
    QSettings settings(ProgramFolders::cameraSettingsFile(), QSettings::IniFormat);
    settings.beginGroup(group());
    settings.setValue(name, text);
    settings.endGroup();
    reportWriteFailure(settings);
}

KeptCameraSettings::Values KeptCameraSettings::restore(CameraDevice& device) const
{
    Values written;
    if (key_.isEmpty()) return written;
    QSettings settings(ProgramFolders::cameraSettingsFile(), QSettings::IniFormat);
    settings.beginGroup(group());
    for (const Control& c : kControls) {
        const QString name = QLatin1String(c.name);
        if (!settings.contains(name)) continue;
        const QString kept = settings.value(name).toString();
        Value v;
        if (!parse(kept, c.hasAuto, v)) {
            qDebug().noquote() << "kept setting ignored: " + name + "=" + kept;
            continue;
        }
        HRESULT hr = E_POINTER;
        if (!c.cameraControl)
            hr = device.setProcAmp(c.property, v.value, v.flags);
        else if (IAMCameraControl* control = device.cameraControl())
            hr = control->Set(c.property, v.value, v.flags);
        if (SUCCEEDED(hr))
            written[name] = v;
        else
            qDebug().noquote() << "kept setting not restored: " + name;
    }
    return written;
}

std::optional<bool> KeptCameraSettings::keptSwitch(const QString& name) const
{
    if (key_.isEmpty()) return std::nullopt;
    QSettings settings(ProgramFolders::cameraSettingsFile(), QSettings::IniFormat);
    settings.beginGroup(group());
    const QString kept = settings.value(name).toString();
    if (kept == QLatin1String("true")) return true;
    if (kept == QLatin1String("false")) return false;
    return std::nullopt;
}

QString KeptCameraSettings::keptText(const QString& name) const
{
    if (key_.isEmpty()) return QString();
    QSettings settings(ProgramFolders::cameraSettingsFile(), QSettings::IniFormat);
    settings.beginGroup(group());
    return settings.value(name).toString();
}

void KeptCameraSettings::forget()
{
    if (key_.isEmpty()) return;
    QSettings settings(ProgramFolders::cameraSettingsFile(), QSettings::IniFormat);
    settings.remove(group());
    reportWriteFailure(settings);
}
