#pragma once

#include <QString>

#include "UpgradeEngineLibrary.h"

// What one upgrade needs: the chosen file, the camera's USB ordinal and where
// the engine lives.
struct UpgradeRequest {
    QString path;
    int cameraId = -1;
    UpgradeEngineLocation engine;
};

// The upgrade run on a pool thread: loads the engine, picks the image or
// package upgrade by the file's suffix, calls the engine for the whole run and
// unloads it. Touches nothing of the page; the engine's messages go through
// the print callback.
class UpgradeWorker {
public:
    enum class Outcome { EngineRan, EngineNotLoaded, NoUpgradeFunction, UnsupportedFile };

    struct Result {
        Outcome outcome = Outcome::EngineRan;
        // The chosen file's suffix as it was judged.
        QString suffix;
    };

    static Result run(const UpgradeRequest& request, UpgradeEngineLibrary::PrintCallback print);

    // "-M" for an image, "-P" for a package, null for anything else; the
    // suffix is compared case-sensitively, as the engine checks the file too.
    static const char* engineOptionForSuffix(const QString& suffix);
};
