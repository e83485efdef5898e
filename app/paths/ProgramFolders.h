#pragma once

#include <QString>
#include <QStringList>

// Where the program finds its run-time libraries and where the files it makes
// for the user go. The same code serves the build tree and an installed tree.
class ProgramFolders {
public:
    // Folders searched for a run-time library, in order: the suite's private
    // library folder of an installed tree (<program dir>/../lib/<multiarch>/
    // teldora-vision-desk), <program dir>/../lib (the build tree), then the
    // program's own folder. Without an argument, those of the running program
    // that exist.
    static QStringList libraryDirs();
    static QStringList libraryDirs(const QString& programDir);

    // "<XDG pictures>/TELDORA" and "<XDG videos>/TELDORA"; not created here.
    static QString snapshotFolder();
    static QString recordingFolder();

    // The settings the program keeps per camera, under the XDG config folder.
    static QString cameraSettingsFile();
};
