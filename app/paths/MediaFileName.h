#pragma once

#include <QString>
#include <QStringList>

class QDateTime;

// The names of the snapshots and recordings the user saves. File dialogs on
// Linux return a name exactly as typed, without the chosen filter's extension,
// and the extension is what decides the image format.
class MediaFileName {
public:
    // The extensions that a dialog filter offers, in order, lower case:
    // "PNG(*.png);;JPG(*.jpg *.jpeg)" gives {"png", "jpg", "jpeg"}.
    static QStringList extensions(const QString& filter);

    // `path` with the first extension of `selectedFilter` added, unless its
    // name already ends in an extension that `filter` offers (in any case).
    // An empty or unknown selected filter means the first part of `filter`.
    static QString withExtension(const QString& path, const QString& filter, const QString& selectedFilter);

    // The proposed name: the date and time as "yyyyMMddhhmmss".
    static QString timeStamp(const QDateTime& when);
};
