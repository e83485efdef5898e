#include "UpgradeEngineLibrary.h"

#include <QDebug>
#include <QDir>
#include <QLibrary>

#include "ProgramFolders.h"

UpgradeEngineLocation UpgradeEngineLocation::programDefault()
{
    return {QStringLiteral("camfw_flash"), ProgramFolders::libraryDirs()};
}

UpgradeEngineLibrary::UpgradeEngineLibrary(const UpgradeEngineLocation& location) : location_(location) {}

UpgradeEngineLibrary::~UpgradeEngineLibrary() { unload(); }

UpgradeEngineLibrary::Status UpgradeEngineLibrary::load()
{
    unload();
    for (const QString& dir : location_.directories) {
        auto candidate = std::make_unique<QLibrary>(QDir(dir).filePath(location_.baseName));
        if (candidate->load()) {
            library_ = std::move(candidate);
            break;
        }
        qDebug() << "upgrade engine not loaded from" << dir << ":" << candidate->errorString();
    }
    if (!library_) return Status::NotLoaded;

    upgrade_ = reinterpret_cast<UpgradeFunction>(library_->resolve("upgrade"));
    if (!upgrade_) return Status::NoUpgradeFunction;
    return Status::Ready;
}

QString UpgradeEngineLibrary::fileName() const { return library_ ? library_->fileName() : QString(); }

void UpgradeEngineLibrary::unload()
{
    upgrade_ = nullptr;
    if (!library_) return;
    if (!library_->unload()) qDebug() << "upgrade engine not unloaded:" << library_->errorString();
    library_.reset();
}

QString UpgradeEngineLibrary::failureText(Status status)
{
    switch (status) {
    case Status::NotLoaded:
        return QStringLiteral("DLL is not loaded!");
    case Status::NoUpgradeFunction:
        return QStringLiteral("Linke to Function is not OK!!!!");
    case Status::Ready:
        break;
    }
    return QString();
}
