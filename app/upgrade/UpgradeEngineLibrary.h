#pragma once

#include <memory>

#include <QString>
#include <QStringList>

class QLibrary;

// Where the firmware upgrade engine is looked for: a base name ("camfw_flash"
// becomes libcamfw_flash.so) tried in each directory in turn.
struct UpgradeEngineLocation {
    QString baseName;
    QStringList directories;

    // The program's library folders (ProgramFolders), the same in the build
    // tree and an installed one.
    static UpgradeEngineLocation programDefault();
};

// One load of the upgrade engine for one action. The engine keeps its command
// line state for as long as it is loaded, so every action loads it afresh and
// the destructor unloads it, whatever happened.
class UpgradeEngineLibrary {
public:
    using PrintCallback = int (*)(const char* format, ...);
    using UpgradeFunction = const char* (*)(int mode, const char* a1, const char* a2, const char* a3, const char* a4,
                                            PrintCallback print);

    enum class Status { Ready, NotLoaded, NoUpgradeFunction };

    explicit UpgradeEngineLibrary(const UpgradeEngineLocation& location);
    ~UpgradeEngineLibrary();
    UpgradeEngineLibrary(const UpgradeEngineLibrary&) = delete;
    UpgradeEngineLibrary& operator=(const UpgradeEngineLibrary&) = delete;

    // Loads the library and resolves "upgrade".
    Status load();
    // Null until load() returned Ready.
    UpgradeFunction upgradeFunction() const { return upgrade_; }
    // The file that was loaded; empty when none.
    QString fileName() const;
    void unload();

    // The user-facing text of a failed load: "DLL is not loaded!" or
    // "Linke to Function is not OK!!!!".
    static QString failureText(Status status);

private:
    UpgradeEngineLocation location_;
    std::unique_ptr<QLibrary> library_;
    UpgradeFunction upgrade_ = nullptr;
};
