#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QList>
#include <QSignalSpy>
#include <QStringList>
#include <QTextEdit>
#include <QThreadPool>

#include "Vorq_ProgressDialog.h"
#include "Vorq_ProgressDialogForm.h"
#include "Vorq_settingUpgrade.h"
#include "Vorq_settingUpgradeForm.h"

// What the upgrade tests read off the page: its texts, and each new status
// line of the progress dialog in the order they appeared.
class UpgradePageProbe {
public:
    explicit UpgradePageProbe(Vorq_settingUpgrade* page) : page_(page)
    {
        // Connected after the page's own handler, so it sees each message's effect.
        QObject::connect(page, &Vorq_settingUpgrade::updateUpgradeInfo, page, [this] { record(); });
    }

    QString status() const { return page_->progressDialog()->form()->label->text(); }
    QString shownText() const { return page_->form()->textEdit->toPlainText(); }
    QStringList statuses;

    // Waits for the worker and delivers what it queued.
    bool finishWorker(int timeoutMs = 30000)
    {
        const bool done = QThreadPool::globalInstance()->waitForDone(timeoutMs);
        QCoreApplication::sendPostedEvents();
        record();
        return done;
    }

    static QList<int> values(const QSignalSpy& spy)
    {
        QList<int> list;
        for (const QList<QVariant>& args : spy) list << args.at(0).toInt();
        return list;
    }

    static QString writeFile(const QString& path, const QByteArray& contents)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size()) return QString();
        return path;
    }

    static QString complete() { return QStringLiteral("<font color=green>Upgrade complete!</font>"); }

private:
    void record()
    {
        if (!status().isEmpty() && (statuses.isEmpty() || statuses.last() != status())) statuses << status();
    }

    Vorq_settingUpgrade* page_;
};
