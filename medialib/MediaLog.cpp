#include "MediaLog.h"

#include <QDebug>
#include <QLoggingCategory>

#include <cstdarg>
#include <cstdio>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

namespace vorq::media {

namespace {

Q_LOGGING_CATEGORY(lcMedia, "vorq.medialib")
Q_LOGGING_CATEGORY(lcFrame, "vorq.medialib.frame", QtWarningMsg)

std::string formatText(const char* format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(n));
    return text;
}

// Qt ends every message with its own line feed.
void toQt(const QLoggingCategory& category, const char* format, va_list args)
{
    std::string text = formatText(format, args);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    QMessageLogger(nullptr, 0, nullptr, category.categoryName()).debug().noquote() << QString::fromStdString(text);
}

} // namespace

void logError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    av_vlog(nullptr, AV_LOG_ERROR, format, args);
    va_end(args);
}

void logInfo(const char* format, ...)
{
    if (!lcMedia().isDebugEnabled()) return;
    va_list args;
    va_start(args, format);
    toQt(lcMedia(), format, args);
    va_end(args);
}

void logFrame(const char* format, ...)
{
    if (!lcFrame().isDebugEnabled()) return;
    va_list args;
    va_start(args, format);
    toQt(lcFrame(), format, args);
    va_end(args);
}

} // namespace vorq::media
