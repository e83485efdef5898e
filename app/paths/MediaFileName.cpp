#include "MediaFileName.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>

QStringList MediaFileName::extensions(const QString& filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9_]+)"));
    QStringList found;
    auto matches = pattern.globalMatch(filter);
    while (matches.hasNext()) found << matches.next().captured(1).toLower();
    return found;
}

QString MediaFileName::withExtension(const QString& path, const QString& filter, const QString& selectedFilter)
{
    if (path.isEmpty()) return path;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (!suffix.isEmpty() && extensions(filter).contains(suffix)) return path;

    const QStringList parts = filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    QStringList wanted = parts.contains(selectedFilter) ? extensions(selectedFilter) : QStringList();
    if (wanted.isEmpty() && !parts.isEmpty()) wanted = extensions(parts.first());
    if (wanted.isEmpty()) return path;
    // "name." is a name whose extension was left out.
    return (path.endsWith(QLatin1Char('.')) ? path : path + QLatin1Char('.')) + wanted.first();
}

QString MediaFileName::timeStamp(const QDateTime& when) { return when.toString(QStringLiteral("yyyyMMddhhmmss")); }
