#include "SimCameraSetup.h"

#include <linux/videodev2.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "platform/DevicePath.h"
#include "platform/DeviceProvider.h"

using vorq::platform::DeviceProvider;

namespace {

QString controlName(uint32_t cid)
{
    static const std::pair<uint32_t, const char*> names[] = {
        {V4L2_CID_PAN_ABSOLUTE, "PAN_ABSOLUTE"}, {V4L2_CID_TILT_ABSOLUTE, "TILT_ABSOLUTE"},
        {V4L2_CID_ZOOM_ABSOLUTE, "ZOOM_ABSOLUTE"}, {V4L2_CID_PAN_SPEED, "PAN_SPEED"},
        {V4L2_CID_TILT_SPEED, "TILT_SPEED"},     {V4L2_CID_CONTRAST, "CONTRAST"},
        {V4L2_CID_BRIGHTNESS, "BRIGHTNESS"},
        {V4L2_CID_AUTO_WHITE_BALANCE, "AUTO_WHITE_BALANCE"},
        {V4L2_CID_WHITE_BALANCE_TEMPERATURE, "WHITE_BALANCE_TEMPERATURE"},
    };
    for (const auto& [id, name] : names)
        if (id == cid) return QString::fromLatin1(name);
    return QString::number(cid, 16);
}

QString logLine(const QJsonObject& o)
{
    auto field = [&o](const char* key) { return o.value(QLatin1String(key)); };
    QString line;
    if (o.contains(QLatin1String("unit"))) {
        const QString query = field("query").toString();
        const QString where = QStringLiteral("%1/%2").arg(field("unit").toInt()).arg(field("selector").toInt());
        if (query == QLatin1String("SET_CUR"))
            line = QStringLiteral("SET ") + where + QLatin1Char(' ') +
                   QString::fromLatin1(QByteArray::fromHex(field("data").toString().toLatin1()).toHex(' '));
        else if (query == QLatin1String("GET_CUR"))
            line = QStringLiteral("GET ") + where;
        else if (query == QLatin1String("GET_LEN"))
            line = QStringLiteral("LEN ") + where;
        else
            line = query + QLatin1Char(' ') + where;
    } else {
        const QString op = field("op").toString();
        const QString name = controlName(static_cast<uint32_t>(field("cid").toDouble()));
        if (op == QLatin1String("s_ctrl"))
            line = QStringLiteral("ctrl %1=%2").arg(name).arg(field("value").toInt());
        else
            line = (op == QLatin1String("g_ctrl") ? QStringLiteral("get ") : QStringLiteral("range ")) + name;
    }
    if (const int err = field("errno").toInt()) line += QStringLiteral(" !%1").arg(err);
    return line;
}

} // namespace

SimCameraSetup::SimCameraSetup(const QByteArray& config)
{
    configure(config);
    tracePath_ = dir_.filePath(QStringLiteral("trace.jsonl"));
    qputenv("VORQ_SIM", QFile::encodeName(dir_.path()));
    qputenv("VORQ_SIM_TRACE", QFile::encodeName(tracePath_));
    qunsetenv("VORQ_SIM_SOCKET");
    DeviceProvider::setSourceForTesting({});
}

SimCameraSetup::~SimCameraSetup()
{
    qunsetenv("VORQ_SIM");
    qunsetenv("VORQ_SIM_TRACE");
}

void SimCameraSetup::configure(const QByteArray& config)
{
    QFile conf(dir_.filePath(QStringLiteral("sim.conf")));
    if (conf.open(QIODevice::WriteOnly | QIODevice::Truncate)) conf.write(config);
}

CameraInfo SimCameraSetup::info(int index, const QString& description) const
{
    int seen = 0;
    for (const auto& device : DeviceProvider::enumerate())
        if (device->identity().simulated && seen++ == index)
            return CameraInfo(QString::fromStdString(vorq::platform::deviceNameOf(device->identity())), description);
    return CameraInfo();
}

QStringList SimCameraSetup::takeLog(const QString& device)
{
    QStringList lines;
    QFile trace(tracePath_);
    if (!trace.open(QIODevice::ReadOnly) || !trace.seek(traceOffset_)) return lines;
    while (!trace.atEnd()) {
        const QByteArray raw = trace.readLine();
        if (!raw.endsWith('\n')) break; // still being written: read next time
        traceOffset_ += raw.size();
        const QJsonObject o = QJsonDocument::fromJson(raw).object();
        const QString dev = o.value(QLatin1String("dev")).toString();
        if (device.isEmpty())
            lines << dev + QLatin1Char(' ') + logLine(o);
        else if (dev == device)
            lines << logLine(o);
    }
    return lines;
}

QStringList SimCameraSetup::takeWrites(const QString& device)
{
    QStringList writes;
    for (const QString& line : takeLog(device))
        if (line.contains(QLatin1String("SET ")) || line.contains(QLatin1String("ctrl "))) writes << line;
    return writes;
}
