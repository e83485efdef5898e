#include "UpgradeEngineOutput.h"

#include <cstdarg>
#include <cstdio>

#include <QString>

#include "Vorq_settingUpgrade.h"

int engineOutput(const char* format, ...)
{
    if (!format) return 0;
    char buffer[1024] = {};
    va_list args;
    va_start(args, format);
    const int result = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    Vorq_settingUpgrade::deliverEngineText(QString::fromLocal8Bit(buffer));
    return result;
}
