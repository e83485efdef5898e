#pragma once

#include <optional>

#include <QImage>
#include <QString>

#include "platform/DirectShow.h"

// Camera positions the user saved in numbered slots, kept per camera with
// the other kept settings; each with a small picture of what the camera saw.
class PtzPresets {
public:
    static constexpr int kSlots = 6;

    // The absolute values a camera has; a control it lacks stays empty.
    struct Position {
        std::optional<long> pan;
        std::optional<long> tilt;
        std::optional<long> zoom;
        bool empty() const { return !pan && !tilt && !zoom; }
        bool operator==(const Position& o) const { return pan == o.pan && tilt == o.tilt && zoom == o.zoom; }
    };

    // An empty key keeps nothing.
    explicit PtzPresets(const QString& cameraKey = QString());

    // True when the camera answers for absolute pan, tilt or zoom.
    static bool hasAbsoluteControls(IAMCameraControl* control);
    // Where the camera points now; empty when it cannot tell.
    static Position read(IAMCameraControl* control);
    // Moves the camera; false when any value was refused.
    static bool write(IAMCameraControl* control, const Position& position);

    // "pan=3600 tilt=-7200 zoom=10", and back; parse refuses anything else.
    static QString text(const Position& position);
    static bool parse(const QString& text, Position& position);

    // Slots count from 1. save refuses an empty position or a bad slot.
    bool save(int slot, const Position& position, const QImage& picture) const;
    std::optional<Position> position(int slot) const;
    // Null when none was kept.
    QImage thumbnail(int slot) const;
    QString thumbnailPath(int slot) const;

private:
    QString key_;
};
