#include "Vorq_settingUpgrade.h"

#include <atomic>
#include <climits>
#include <mutex>

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextEdit>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include "UpgradeEngineOutput.h"
#include "UserDialogs.h"
#include "Vorq_ProgressDialog.h"
#include "Vorq_settingUpgradeForm.h"

namespace {

std::atomic<Vorq_settingUpgrade*> page{nullptr};
std::mutex creationMutex;
// Held while a message is handed to the page and while the page withdraws
// itself, so a worker never emits on a page that is being destroyed.
// Recursive: on the GUI thread the hand-over runs the page's slots directly.
std::recursive_mutex deliveryMutex;

const QString kNotice = QStringLiteral("Notice");

bool onGuiThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// The engine's end-of-run marker is the message "\nexit\n"; a path or a
// device text that merely contains the word must not end the upgrade.
bool isEndOfRun(const QString& text) { return text.trimmed() == QLatin1String("exit"); }

int truncatedPercent(float value)
{
    if (!(value > 0.0f)) return 0;
    if (static_cast<double>(value) >= static_cast<double>(INT_MAX)) return INT_MAX;
    return static_cast<int>(value);
}

QString failureStatus(const QString& text)
{
    return QStringLiteral("<font color=red>%1</font>").arg(text.toHtmlEscaped());
}

} // namespace

Vorq_settingUpgrade* Vorq_settingUpgrade::instance()
{
    Vorq_settingUpgrade* existing = page.load(std::memory_order_acquire);
    if (existing) return existing;
    std::lock_guard<std::mutex> lock(creationMutex);
    existing = page.load(std::memory_order_acquire);
    if (existing) return existing;
    auto* created = new Vorq_settingUpgrade;
    Vorq_settingUpgrade* expected = nullptr;
    if (!page.compare_exchange_strong(expected, created, std::memory_order_acq_rel)) {
        // Only instance() publishes, under the lock; this cannot happen.
        delete created;
        return expected;
    }
    return created;
}

Vorq_settingUpgrade::Vorq_settingUpgrade()
    : QWidget(nullptr), ui(std::make_unique<Vorq_settingUpgradeForm>()),
      engineLocation_(UpgradeEngineLocation::programDefault())
{
    ui->setupUi(this);
    ui->textEdit->setReadOnly(true);

    progress_ = new Vorq_ProgressDialog(this);
    progress_->setWindowFlags(Qt::Drawer | Qt::WindowCloseButtonHint);
    progress_->setWindowModality(Qt::WindowModal);
    progress_->hide();

    captureState(captureOn_);

    connect(ui->pushButton_info, &QPushButton::clicked, this, &Vorq_settingUpgrade::pushButton_info_clicked);
    connect(ui->pushButton_upgrade, &QPushButton::clicked, this, &Vorq_settingUpgrade::pushButton_upgrade_clicked);
    connect(this, &Vorq_settingUpgrade::updateUpgradeInfo, this, &Vorq_settingUpgrade::on_updateUpgradeInfo);
    connect(this, &Vorq_settingUpgrade::upgradeProgress, this, &Vorq_settingUpgrade::upgrade_progressBar);
    connect(this, &Vorq_settingUpgrade::sendFileProgress, this, &Vorq_settingUpgrade::upgrade_progressBar);
}

Vorq_settingUpgrade::~Vorq_settingUpgrade()
{
    // The window's stacked widget deletes the page; the next caller gets a new one.
    std::lock_guard<std::recursive_mutex> lock(deliveryMutex);
    Vorq_settingUpgrade* self = this;
    page.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

void Vorq_settingUpgrade::deliverEngineText(const QString& text)
{
    std::lock_guard<std::recursive_mutex> lock(deliveryMutex);
    Vorq_settingUpgrade* target = page.load(std::memory_order_acquire);
    if (!target && onGuiThread()) target = instance();
    if (!target) {
        qDebug().noquote() << "upgrade engine message without a page: " << text;
        return;
    }
    emit target->updateUpgradeInfo(text);
}

void Vorq_settingUpgrade::deliverUpgradeText(const QString& text)
{
    std::lock_guard<std::recursive_mutex> lock(deliveryMutex);
    Vorq_settingUpgrade* target = page.load(std::memory_order_acquire);
    if (!target) {
        qDebug().noquote() << "upgrade engine message without a page: " << text;
        return;
    }
    // Always queued, also from the GUI thread, so the run's messages keep
    // their order with its result.
    QMetaObject::invokeMethod(
        target,
        [target, text] {
            target->upgradeRunText_ = true;
            emit target->updateUpgradeInfo(text);
            target->upgradeRunText_ = false;
        },
        Qt::QueuedConnection);
}

void Vorq_settingUpgrade::deliverWorkerResult(const UpgradeWorker::Result& result)
{
    std::lock_guard<std::recursive_mutex> lock(deliveryMutex);
    Vorq_settingUpgrade* target = page.load(std::memory_order_acquire);
    if (!target) return;
    QMetaObject::invokeMethod(
        target, [target, result] { target->workerFinished(result); }, Qt::QueuedConnection);
}

void Vorq_settingUpgrade::captureState(bool state)
{
    captureOn_ = state;
    updateButtons();
}

void Vorq_settingUpgrade::updateButtons()
{
    const bool enabled = captureOn_ && !upgrading_;
    ui->pushButton_info->setEnabled(enabled);
    ui->pushButton_upgrade->setEnabled(enabled);
}

void Vorq_settingUpgrade::endUpgrade()
{
    upgrading_ = false;
    updateButtons();
}

void Vorq_settingUpgrade::onCameraIDChange(int cameraId)
{
    qDebug() << "CameraId: " << cameraId;
    cameraId_ = cameraId;
}

void Vorq_settingUpgrade::upgrade_progressBar(int value) { progress_->setValue(value); }

void Vorq_settingUpgrade::pushButton_info_clicked()
{
    if (upgrading_) return;
    ui->textEdit->clear();
    UpgradeEngineLibrary engine(engineLocation_);
    const UpgradeEngineLibrary::Status status = engine.load();
    if (status == UpgradeEngineLibrary::Status::Ready) {
        const QByteArray index = QByteArray::number(cameraId_);
        // Blocks the GUI thread for the query; every message arrives through
        // engineOutput within the call.
        const char* text = engine.upgradeFunction()(1, "-I", index.constData(), "", "", engineOutput);
        qDebug() << (text ? text : "");
    } else {
        UserDialogs::current().information(nullptr, kNotice, UpgradeEngineLibrary::failureText(status));
    }
    engine.unload();
    qDebug() << "uvc get info exit";
}

void Vorq_settingUpgrade::pushButton_upgrade_clicked()
{
    if (upgrading_) return;
    ui->textEdit->clear();
    if (cameraId_ == -1) {
        UserDialogs::current().information(nullptr, kNotice, QStringLiteral("No camera selected, can't upgrade!"));
        return;
    }
    if (!UserDialogs::current().question(nullptr, kNotice,
                                         QStringLiteral("This will shut down the device, Do you want to upgrade?")))
        return;

    // One filter holding both patterns: "Files(*.pkg);(*.img)" would offer the
    // images only, hiding every package.
    const QString path = UserDialogs::current().openFileName(nullptr, QStringLiteral("选择升级文件"), QDir::currentPath(),
                                                             QStringLiteral("Files(*.pkg *.img)"));
    qDebug() << "filename is:" << path;
    if (path.isEmpty()) return;

    upgrading_ = true;
    updateButtons();
    emit disConnectDevice();
    const UpgradeRequest request{path, cameraId_, engineLocation_};
    QtConcurrent::run(QThreadPool::globalInstance(), [request] {
        deliverWorkerResult(UpgradeWorker::run(request, upgradeRunOutput));
    });
    // A new run must not open on the last run's "complete" or its full bar.
    progress_->setValue(0);
    progress_->setText(QString());
    progress_->show();
}

void Vorq_settingUpgrade::on_updateUpgradeInfo(QString data)
{
    qDebug().noquote() << "data: " << data;
    static const QRegularExpression number(QStringLiteral("\\d+\\.?\\d*"));

    // The engine marks its progress lines with a leading "\r". Its other lines
    // that mention a phase ("send file:<path>", "flash write error") are
    // messages: a number in the path is no percentage, and the error must be
    // seen.
    const bool progressLine = data.startsWith(QLatin1Char('\r'));
    const bool sendFile = progressLine && data.contains(QLatin1String("send file"));
    const bool flashWrite = progressLine && !sendFile && data.contains(QLatin1String("flash write"));
    if (sendFile) {
        const QRegularExpressionMatch match = number.match(data);
        if (match.hasMatch()) {
            // Not a plain integer (e.g. "1.5") gives 0.
            const int value = match.captured(0).toInt();
            qDebug("file progress: %d", value);
            emit sendFileProgress(value);
            progress_->setText(QStringLiteral("send file..."));
        }
    } else if (flashWrite) {
        const float value = number.match(data).captured(0).toFloat();
        qDebug("write progress: %f", static_cast<double>(value));
        emit upgradeProgress(truncatedPercent(value));
        progress_->setText(QStringLiteral("upgrade..."));
        if (qAbs(value - 100.0f) < 0.00001f) progress_->setText(QStringLiteral("Please wait device reboot..."));
    }

    const bool endOfRun = isEndOfRun(data);
    if (!endOfRun && !sendFile && !flashWrite) appendMessage(data);
    if (endOfRun && upgrading_ && upgradeRunText_) {
        endUpgrade();
        qDebug() << "ok--";
        progress_->setText(QStringLiteral("<font color=green>Upgrade complete!</font>"));
    }
    ui->textEdit->moveCursor(QTextCursor::End);
}

void Vorq_settingUpgrade::workerFinished(const UpgradeWorker::Result& result)
{
    QString failure;
    switch (result.outcome) {
    case UpgradeWorker::Outcome::EngineNotLoaded:
        failure = UpgradeEngineLibrary::failureText(UpgradeEngineLibrary::Status::NotLoaded);
        break;
    case UpgradeWorker::Outcome::NoUpgradeFunction:
        failure = UpgradeEngineLibrary::failureText(UpgradeEngineLibrary::Status::NoUpgradeFunction);
        break;
    case UpgradeWorker::Outcome::UnsupportedFile:
        failure = QStringLiteral("Not an upgrade file (*.img or *.pkg), file suffix is: %1").arg(result.suffix);
        break;
    case UpgradeWorker::Outcome::EngineRan:
        // A run that ended without its end-of-run marker failed; the engine's
        // own error lines are in the text box.
        if (upgrading_) failure = QStringLiteral("Upgrade failed!");
        break;
    }
    if (failure.isEmpty()) return;
    endUpgrade();
    appendMessage(failure);
    ui->textEdit->moveCursor(QTextCursor::End);
    progress_->setText(failureStatus(failure));
    // The camera was given up for the upgrade but never restarted.
    emit reConnectDevice();
}

void Vorq_settingUpgrade::appendMessage(const QString& text)
{
    QTextCursor cursor(ui->textEdit->document());
    cursor.movePosition(QTextCursor::End);
    if (!ui->textEdit->document()->isEmpty()) cursor.insertBlock();
    cursor.insertText(text);
}
