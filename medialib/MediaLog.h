#pragma once

// The engine's diagnostic lines. Failures go to FFmpeg's log at error level
// (next to FFmpeg's own errors); progress goes to Qt's debug output. Lines
// that would repeat for every frame have their own category, off unless
// QT_LOGGING_RULES="vorq.medialib.frame.debug=true".

namespace vorq::media {

void logError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logFrame(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace vorq::media
