#pragma once

#include <map>
#include <optional>

#include <QString>

class CameraDevice;

// What the user set on a camera by hand, kept under the XDG config folder per
// camera (CameraSettingsKey) and written back when that camera opens again:
// the picture controls of the properties dialog and the contrast slider, and
// the flip switches; also the capture mode the user chose. A camera forgets its processing-unit and terminal
// controls when it is unplugged or reboots; the program does not.
class KeptCameraSettings {
public:
    // One picture control: value and flags (1 automatic, 2 manual).
    struct Value {
        long value = 0;
        long flags = 0;
        bool operator==(const Value& o) const { return value == o.value && flags == o.flags; }
        bool operator!=(const Value& o) const { return !(*this == o); }
    };
    // By name: "Brightness", "WhiteBalance", "Focus", ...
    using Values = std::map<QString, Value>;

    // An empty key keeps nothing.
    explicit KeptCameraSettings(const QString& cameraKey = QString());

    const QString& cameraKey() const { return key_; }

    // The kept picture controls as the camera has them now; a control the
    // camera does not answer is left out.
    static Values read(CameraDevice& device);
    // Keeps every control whose value or mode differs between two readings.
    void keepChanges(const Values& before, const Values& after);
    // Keeps one control by name; unknown names are ignored.
    void keep(const QString& name, const Value& value);
    void keepSwitch(const QString& name, bool on);
    // Any other choice kept with the camera (the capture mode, ...).
    void keepText(const QString& name, const QString& text);

    // Writes the kept picture controls to the camera; returns those written.
    Values restore(CameraDevice& device) const;
    std::optional<bool> keptSwitch(const QString& name) const;
    // Empty when nothing is kept under `name`.
    QString keptText(const QString& name) const;

    // Forgets everything kept for this camera.
    void forget();

private:
    QString group() const;

    QString key_;
};
