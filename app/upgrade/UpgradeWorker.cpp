#include "UpgradeWorker.h"

#include <QByteArray>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

UpgradeWorker::Result UpgradeWorker::run(const UpgradeRequest& request, UpgradeEngineLibrary::PrintCallback print)
{
    Result result;
    UpgradeEngineLibrary engine(request.engine);
    const UpgradeEngineLibrary::Status status = engine.load();
    if (status != UpgradeEngineLibrary::Status::Ready) {
        qDebug().noquote() << UpgradeEngineLibrary::failureText(status);
        result.outcome = status == UpgradeEngineLibrary::Status::NotLoaded ? Outcome::EngineNotLoaded
                                                                           : Outcome::NoUpgradeFunction;
        qDebug() << "uvc upgrade exit";
        return result;
    }

    result.suffix = QFileInfo(request.path).suffix();
    qDebug().noquote() << "file suffix is: " << result.suffix;
    // The engine opens the file with the platform's own file-name encoding.
    const QByteArray path = QFile::encodeName(request.path);
    const QByteArray index = QByteArray::number(request.cameraId);

    const char* option = engineOptionForSuffix(result.suffix);
    if (option) {
        const char* text = engine.upgradeFunction()(2, option, path.constData(), "-I", index.constData(), print);
        qDebug() << "start_upgrade ok: " << (text ? text : "");
    } else {
        result.outcome = Outcome::UnsupportedFile;
    }

    engine.unload();
    qDebug() << "uvc upgrade exit";
    return result;
}

const char* UpgradeWorker::engineOptionForSuffix(const QString& suffix)
{
    if (suffix == QLatin1String("img")) return "-M";
    if (suffix == QLatin1String("pkg")) return "-P";
    return nullptr;
}
