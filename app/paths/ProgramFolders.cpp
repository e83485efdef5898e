#include "ProgramFolders.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const char* const kUserSubfolder = "TELDORA";

QString userFolder(QStandardPaths::StandardLocation location)
{
    QString base = QStandardPaths::writableLocation(location);
    // Without any XDG folder the home folder still is a place users look.
    if (base.isEmpty()) base = QDir::homePath();
    return QDir(base).filePath(QString::fromLatin1(kUserSubfolder));
}

} // namespace

QStringList ProgramFolders::libraryDirs()
{
    // Only the folders this tree has: the others would just fail to load.
    QStringList dirs = libraryDirs(QCoreApplication::applicationDirPath());
    dirs.erase(std::remove_if(dirs.begin(), dirs.end(), [](const QString& d) { return !QFileInfo(d).isDir(); }),
               dirs.end());
    return dirs;
}

QStringList ProgramFolders::libraryDirs(const QString& programDir)
{
    const QDir dir(programDir);
    return {QDir::cleanPath(dir.filePath(QStringLiteral("../") + QStringLiteral(VORQ_PRIVATE_LIBDIR))),
            QDir::cleanPath(dir.filePath(QStringLiteral("../lib"))), QDir::cleanPath(programDir)};
}

QString ProgramFolders::snapshotFolder() { return userFolder(QStandardPaths::PicturesLocation); }

QString ProgramFolders::recordingFolder() { return userFolder(QStandardPaths::MoviesLocation); }

QString ProgramFolders::cameraSettingsFile()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty()) base = QDir::home().filePath(QStringLiteral(".config"));
    return QDir(base).filePath(QStringLiteral("teldora-vision-desk/cameras.conf"));
}
