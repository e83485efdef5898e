#pragma once

#include <memory>

#include <QString>
#include <QWidget>

#include "UpgradeEngineLibrary.h"
#include "UpgradeWorker.h"

class Vorq_ProgressDialog;
class Vorq_settingUpgradeForm;

// The firmware upgrade page, one per process. It never talks to the camera:
// both of its actions load the upgrade engine, run one command line through
// it and turn the engine's messages into text, progress and a final notice.
class Vorq_settingUpgrade : public QWidget {
    Q_OBJECT
public:
    // Created on first use without a parent; the window re-parents it when it
    // adds it to its pages. Safe from any thread.
    static Vorq_settingUpgrade* instance();
    ~Vorq_settingUpgrade() override;

    bool captureOn() const { return captureOn_; }
    int cameraId() const { return cameraId_; }
    // An upgrade was started and has not ended yet.
    bool isUpgrading() const { return upgrading_; }

    // Where the engine is loaded from; the program's library directory unless
    // changed (tests point it at their own engines).
    void setEngineLocation(const UpgradeEngineLocation& location) { engineLocation_ = location; }
    const UpgradeEngineLocation& engineLocation() const { return engineLocation_; }

    const Vorq_settingUpgradeForm* form() const { return ui.get(); }
    Vorq_ProgressDialog* progressDialog() const { return progress_; }

    // One engine message for the page, from whichever thread runs the engine.
    // Off the GUI thread it reaches only a page that exists: a widget must not
    // be created there, and a page being destroyed is left alone.
    static void deliverEngineText(const QString& text);
    // A message of the upgrade's own run, from its worker. Only these can end
    // the upgrade: a query's end-of-run marker must not.
    static void deliverUpgradeText(const QString& text);
    // The end of an upgrade worker; queued behind the messages of its run.
    static void deliverWorkerResult(const UpgradeWorker::Result& result);

signals:
    void updateUpgradeInfo(QString data);
    // The camera is about to go away; the window lets go of it.
    void disConnectDevice();
    // The upgrade failed and the camera did not restart: use it again.
    void reConnectDevice();
    void sendFileProgress(int);
    void upgradeProgress(int);

public slots:
    void captureState(bool state);
    void onCameraIDChange(int cameraId);

private slots:
    void pushButton_info_clicked();
    void on_updateUpgradeInfo(QString data);
    void pushButton_upgrade_clicked();
    void upgrade_progressBar(int value);

private:
    Vorq_settingUpgrade();

    void workerFinished(const UpgradeWorker::Result& result);
    // Neither action may start while an upgrade runs, whatever the camera does.
    void updateButtons();
    void endUpgrade();
    // Adds one paragraph of plain text, whatever characters it holds.
    void appendMessage(const QString& text);

    std::unique_ptr<Vorq_settingUpgradeForm> ui;
    // A child of the page; deleted with it.
    Vorq_ProgressDialog* progress_ = nullptr;
    UpgradeEngineLocation engineLocation_;
    bool upgrading_ = false;
    // Set while a message of the upgrade's own run is being handled.
    bool upgradeRunText_ = false;
    bool captureOn_ = false;
    int cameraId_ = -1;
};
