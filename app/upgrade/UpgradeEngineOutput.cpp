#include "UpgradeEngineOutput.h"

#include <cstdarg>
#include <cstdio>

#include <QString>

#include "Vorq_settingUpgrade.h"

namespace {

int formatMessage(QString& text, const char* format, va_list args)
{
    char buffer[1024] = {};
    const int result = std::vsnprintf(buffer, sizeof buffer, format, args);
    text = QString::fromLocal8Bit(buffer);
    return result;
}

} // namespace

int engineOutput(const char* format, ...)
{
    if (!format) return 0;
    QString text;
    va_list args;
    va_start(args, format);
    const int result = formatMessage(text, format, args);
    va_end(args);
    Vorq_settingUpgrade::deliverEngineText(text);
    return result;
}

int upgradeRunOutput(const char* format, ...)
{
    if (!format) return 0;
    QString text;
    va_list args;
    va_start(args, format);
    const int result = formatMessage(text, format, args);
    va_end(args);
    Vorq_settingUpgrade::deliverUpgradeText(text);
    return result;
}
