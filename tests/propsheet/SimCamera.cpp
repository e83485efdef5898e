#include "SimCamera.h"

#include <linux/videodev2.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "platform/DevicePath.h"
#include "platform/DeviceProvider.h"
#include "platform/VideoInputs.h"

using vorq::platform::DeviceProvider;

namespace {

QString controlName(uint32_t cid)
{
    static const std::pair<uint32_t, const char*> names[] = {
        {V4L2_CID_PAN_ABSOLUTE, "PAN_ABSOLUTE"},
        {V4L2_CID_TILT_ABSOLUTE, "TILT_ABSOLUTE"},
        {V4L2_CID_ZOOM_ABSOLUTE, "ZOOM_ABSOLUTE"},
        {V4L2_CID_EXPOSURE_AUTO, "EXPOSURE_AUTO"},
        {V4L2_CID_EXPOSURE_ABSOLUTE, "EXPOSURE_ABSOLUTE"},
        {V4L2_CID_IRIS_ABSOLUTE, "IRIS_ABSOLUTE"},
        {V4L2_CID_FOCUS_AUTO, "FOCUS_AUTO"},
        {V4L2_CID_FOCUS_ABSOLUTE, "FOCUS_ABSOLUTE"},
        {V4L2_CID_BRIGHTNESS, "BRIGHTNESS"},
        {V4L2_CID_CONTRAST, "CONTRAST"},
        {V4L2_CID_HUE, "HUE"},
        {V4L2_CID_SATURATION, "SATURATION"},
        {V4L2_CID_SHARPNESS, "SHARPNESS"},
        {V4L2_CID_GAMMA, "GAMMA"},
        {V4L2_CID_AUTO_WHITE_BALANCE, "AUTO_WHITE_BALANCE"},
        {V4L2_CID_WHITE_BALANCE_TEMPERATURE, "WHITE_BALANCE_TEMPERATURE"},
        {V4L2_CID_BACKLIGHT_COMPENSATION, "BACKLIGHT_COMPENSATION"},
        {V4L2_CID_GAIN, "GAIN"},
        {V4L2_CID_POWER_LINE_FREQUENCY, "POWER_LINE_FREQUENCY"},
    };
    for (const auto& [id, name] : names)
        if (id == cid) return QString::fromLatin1(name);
    return QString::number(cid, 16);
}

int simulatedIndex()
{
    int index = 0;
    for (const auto& device : DeviceProvider::enumerate()) {
        if (device->identity().simulated) return index;
        ++index;
    }
    return -1;
}

} // namespace

SimCamera::SimCamera()
{
    tracePath_ = dir_.filePath(QStringLiteral("trace.jsonl"));
    qputenv("VORQ_SIM", QFile::encodeName(dir_.path()));
    qputenv("VORQ_SIM_TRACE", QFile::encodeName(tracePath_));
    qunsetenv("VORQ_SIM_SOCKET");
}

SimCamera::~SimCamera()
{
    qunsetenv("VORQ_SIM");
    qunsetenv("VORQ_SIM_TRACE");
}

QString SimCamera::deviceName() const
{
    for (const auto& device : DeviceProvider::enumerate())
        if (device->identity().simulated)
            return QString::fromStdString(vorq::platform::deviceNameOf(device->identity()));
    return QString();
}

ComPtr<IBaseFilter> SimCamera::bindFilter() const
{
    ComPtr<IBaseFilter> filter;
    const int index = simulatedIndex();
    if (index >= 0) bindVideoInputFilter(static_cast<ULONG>(index), filter);
    return filter;
}

QStringList SimCamera::takeWrites()
{
    QStringList writes;
    QFile trace(tracePath_);
    if (!trace.open(QIODevice::ReadOnly) || !trace.seek(traceOffset_)) return writes;
    while (!trace.atEnd()) {
        const QByteArray raw = trace.readLine();
        if (!raw.endsWith('\n')) break;
        traceOffset_ += raw.size();
        const QJsonObject o = QJsonDocument::fromJson(raw).object();
        if (o.value(QLatin1String("op")).toString() != QLatin1String("s_ctrl")) continue;
        QString line = controlName(static_cast<uint32_t>(o.value(QLatin1String("cid")).toDouble())) +
                       QLatin1Char('=') + QString::number(o.value(QLatin1String("value")).toInt());
        if (const int err = o.value(QLatin1String("errno")).toInt()) line += QStringLiteral(" !%1").arg(err);
        writes << line;
    }
    return writes;
}
