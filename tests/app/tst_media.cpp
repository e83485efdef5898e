// Preview, snapshots and recording through the real media engine on a
// simulated camera.

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include "../support/PrivateHome.h"
#include "WindowFixture.h"
#include "medialib/Vorq_Medialib.h"

using namespace window_test;

namespace {

constexpr int kFrameTimeoutMs = 15000;

// The codec types of the file's streams as ffprobe reads them.
QStringList streamsOf(const QString& path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                            QStringLiteral("stream=codec_type"), QStringLiteral("-of"),
                                            QStringLiteral("csv=p=0"), path});
    if (!probe.waitForFinished(20000) || probe.exitCode() != 0) return {};
    QStringList streams = QString::fromUtf8(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    for (QString& s : streams) s = s.trimmed();
    streams.sort();
    return streams;
}

bool hasMessage(const ScriptedDialogs& dialogs, const QString& text)
{
    for (const auto& m : dialogs.messages)
        if (m.text == text) return true;
    return false;
}

// Sends the process's stderr (where the engine's errors go) to a file while
// the object lives.
class StderrCapture {
public:
    explicit StderrCapture(const QString& path) : file(path)
    {
        std::fflush(stderr);
        saved = ::dup(STDERR_FILENO);
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StderrCapture() { restore(); }
    QString text()
    {
        restore();
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private:
    void restore()
    {
        if (saved < 0) return;
        std::fflush(stderr);
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        saved = -1;
    }
    QString file;
    int saved = -1;
};

int run(const QString& program, const QStringList& arguments, QString* errors = nullptr)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000)) return -1;
    if (errors) *errors = QString::fromUtf8(p.readAllStandardError());
    return p.exitCode();
}

} // namespace

class MediaTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(ui); }

    void init()
    {
        cameras = std::make_unique<FakeCameras>();
        cameras->set({FakeCameras::teldora()});
        dialogs = std::make_unique<ScriptedDialogs>();
        QVERIFY(dir.isValid());
    }

    void cleanup()
    {
        dialogs.reset();
        cameras.reset();
    }

    void previewShowsFramesAndStops()
    {
        auto w = makeWindow();
        PreviewLabel* view = w->form()->label_cameraview;
        w->form()->pushButton_preview->setChecked(true);
        QVERIFY(w->mediaEngine()->CaptureIsOpen());
        QVERIFY(mediaButtonsEnabled(*w));
        QTRY_VERIFY_WITH_TIMEOUT(!view->frame().isNull(), kFrameTimeoutMs);
        QCOMPARE(view->frame().size(), QSize(800, 600)); // shown as delivered, not scaled
        QCOMPARE(w->lastPreviewFrame().size(), QSize(800, 600));
        QVERIFY(!view->isHidden());

        // The kept frame is the engine's picture, held rather than copied: it
        // must not change while later frames arrive.
        const QImage kept = w->lastPreviewFrame();
        const QImage expected = kept.copy();
        const qint64 keptKey = kept.cacheKey();
        QTRY_VERIFY_WITH_TIMEOUT(w->lastPreviewFrame().cacheKey() != keptKey, kFrameTimeoutMs);
        QTest::qWait(300);
        QVERIFY(kept == expected);

        w->form()->pushButton_preview->setChecked(false);
        QVERIFY(!w->mediaEngine()->CaptureIsOpen());
        QVERIFY(view->isHidden());
        QVERIFY(!anyMediaButtonEnabled(*w));
        QCOMPARE(w->lastPreviewFrame().size(), QSize(800, 600)); // kept for a later snapshot
    }

    void busyCameraShowsTheInUseNotice()
    {
        FakeCameras::Camera busy = FakeCameras::teldora();
        busy.busy = true;
        cameras->set({busy});
        auto w = makeWindow();
        QLabel* view = w->form()->label_cameraview;
        w->form()->pushButton_preview->setChecked(true);
        QVERIFY(!w->mediaEngine()->CaptureIsOpen());
        QCOMPARE(view->text(), QString()); // the picture replaced the text
        QCOMPARE(view->pixmap(Qt::ReturnByValue).size(), QSize(285, 29));
        QVERIFY(view->styleSheet().contains(QStringLiteral("color: white")));
        QVERIFY(!view->isHidden());
        QVERIFY(!anyMediaButtonEnabled(*w));
        // No preview runs, so the switch is off; pressing it again retries.
        QVERIFY(!w->form()->pushButton_preview->isChecked());
        w->form()->pushButton_preview->setChecked(true);
        QVERIFY(!w->form()->pushButton_preview->isChecked());
        QVERIFY(!view->isHidden());
        QVERIFY(!anyMediaButtonEnabled(*w));

        // Free again: the next press previews.
        cameras->set({FakeCameras::teldora()});
        w->form()->pushButton_preview->setChecked(true);
        QVERIFY(w->mediaEngine()->CaptureIsOpen());
        QVERIFY(mediaButtonsEnabled(*w));
        w->form()->pushButton_preview->setChecked(false);
        QVERIFY(view->isHidden());
    }

    void snapshotsInEveryFormat()
    {
        auto w = makeWindow();
        w->form()->pushButton_preview->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(!w->lastPreviewFrame().isNull(), kFrameTimeoutMs);
        for (const char* suffix : {"png", "jpg", "bmp", "tif"}) {
            const QString path = dir.filePath(QStringLiteral("shot.") + suffix);
            dialogs->fileAnswers = QStringList{path};
            dialogs->messages.clear();
            QTest::mouseClick(w->form()->bt_shot, Qt::LeftButton);
            QCOMPARE(w->lastSnapshot(), path);
            QImage saved(path);
            QVERIFY2(!saved.isNull(), qPrintable(path));
            QCOMPARE(saved.size(), QSize(800, 600));
            QCOMPARE(dialogs->messages.size(), 1);
            QCOMPARE(dialogs->messages[0].title, QStringLiteral("Notice"));
            QCOMPARE(dialogs->messages[0].text, QStringLiteral("Photo save successful "));
        }
        const auto& request = dialogs->fileRequests.last();
        QCOMPARE(request.caption, QStringLiteral("Save Picture"));
        QCOMPARE(request.filter, QStringLiteral("PNG(*.png);;JPG(*.jpg);;BMP(*.bmp);;TIF(*.tif)"));
        // The proposed folder exists, and the name is a time stamp.
        const QFileInfo proposed(request.dir);
        QVERIFY(proposed.dir().exists());
        QCOMPARE(proposed.path(), home.path() + QStringLiteral("/Pictures/TELDORA"));
        QCOMPARE(proposed.fileName().size(), 14);
    }

    void namesWithoutExtensionGetTheChosenFilters()
    {
        auto w = makeWindow();
        w->form()->pushButton_preview->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(!w->lastPreviewFrame().isNull(), kFrameTimeoutMs);
        const struct {
            const char* typed;
            const char* filter; // "" leaves the proposed one
            const char* saved;
            const char* format;
        } cases[] = {{"typed", "JPG(*.jpg)", "typed.jpg", "jpeg"},
                     {"plain", "", "plain.png", "png"},
                     {"dotted.name", "BMP(*.bmp)", "dotted.name.bmp", "bmp"},
                     {"upper.PNG", "TIF(*.tif)", "upper.PNG", "png"}};
        for (const auto& c : cases) {
            dialogs->fileAnswers = QStringList{dir.filePath(QLatin1String(c.typed))};
            dialogs->filterAnswers = QStringList{QLatin1String(c.filter)};
            if (!*c.filter) dialogs->filterAnswers.clear();
            dialogs->messages.clear();
            QTest::mouseClick(w->form()->bt_shot, Qt::LeftButton);
            const QString saved = dir.filePath(QLatin1String(c.saved));
            QCOMPARE(w->lastSnapshot(), saved);
            QCOMPARE(QImageReader(saved).format(), QByteArray(c.format));
            QCOMPARE(dialogs->messages.size(), 1);
            QCOMPARE(dialogs->messages[0].text, QStringLiteral("Photo save successful "));
        }

        // The dialog asked about the name as typed: replacing the file with
        // the extension added is asked here, and "No" leaves it alone.
        QFile old(dir.filePath(QStringLiteral("keep.png")));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        dialogs->fileAnswers = QStringList{dir.filePath(QStringLiteral("keep"))};
        dialogs->messages.clear();
        dialogs->questionAnswer = false;
        QTest::mouseClick(w->form()->bt_shot, Qt::LeftButton);
        dialogs->questionAnswer = true;
        QCOMPARE(dialogs->messages.size(), 1);
        QCOMPARE(dialogs->messages[0].kind, QStringLiteral("question"));
        QCOMPARE(QFileInfo(old.fileName()).size(), 3);

        // A recording named without extension is an .mp4, proposed in the videos folder.
        dialogs->fileAnswers = QStringList{dir.filePath(QStringLiteral("clip"))};
        QTest::mouseClick(w->form()->bt_record, Qt::LeftButton);
        QCOMPARE(w->recordingPath(), dir.filePath(QStringLiteral("clip.mp4")));
        QCOMPARE(QFileInfo(dialogs->fileRequests.last().dir).path(), home.path() + QStringLiteral("/Videos/TELDORA"));
        QTest::qWait(1000);
        QTest::mouseClick(w->form()->bt_record, Qt::LeftButton);
        QCOMPARE(streamsOf(dir.filePath(QStringLiteral("clip.mp4"))), (QStringList{"audio", "video"}));
    }

    void unusableDefaultFolderIsReported()
    {
        const PrivateHome blocked;
        // A file where the pictures folder should be.
        QFile pictures(blocked.path() + QStringLiteral("/Pictures"));
        QVERIFY(pictures.open(QIODevice::WriteOnly));
        pictures.close();
        auto w = makeWindow();
        w->form()->pushButton_preview->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(!w->lastPreviewFrame().isNull(), kFrameTimeoutMs);
        QTest::mouseClick(w->form()->bt_shot, Qt::LeftButton); // cancelled
        QCOMPARE(dialogs->messages.size(), 1);
        QCOMPARE(dialogs->messages[0].kind, QStringLiteral("warning"));
        QVERIFY(dialogs->messages[0].text.contains(blocked.path() + QStringLiteral("/Pictures/TELDORA")));
        QCOMPARE(QFileInfo(dialogs->fileRequests.last().dir).path(), blocked.path());
    }

    void failedSnapshotsAreReportedAsFailures()
    {
        auto w = makeWindow();
        w->form()->pushButton_preview->setChecked(true);
        // Before the first frame there is nothing to save.
        dialogs->fileAnswers = QStringList{dir.filePath(QStringLiteral("early.png"))};
        if (w->lastPreviewFrame().isNull()) {
            QTest::mouseClick(w->form()->bt_shot, Qt::LeftButton);
            QVERIFY(!hasMessage(*dialogs, QStringLiteral("Photo save successful ")));
            QCOMPARE(dialogs->messages.size(), 1);
            QCOMPARE(dialogs->messages[0].title, QStringLiteral("Notice"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!w->lastPreviewFrame().isNull(), kFrameTimeoutMs);
        dialogs->messages.clear();
        dialogs->fileAnswers = QStringList{dir.filePath(QStringLiteral("missing/folder/shot.png"))};
        QTest::mouseClick(w->form()->bt_shot, Qt::LeftButton);
        QCOMPARE(dialogs->messages.size(), 1);
        QCOMPARE(dialogs->messages[0].kind, QStringLiteral("warning"));
        QCOMPARE(dialogs->messages[0].title, QStringLiteral("Notice"));
        // Cancelled: nothing happens.
        dialogs->messages.clear();
        QTest::mouseClick(w->form()->bt_shot, Qt::LeftButton);
        QVERIFY(dialogs->messages.isEmpty());
    }

    void recordingThatCannotStartIsReported()
    {
        auto w = makeWindow();
        w->form()->pushButton_preview->setChecked(true);
        dialogs->fileAnswers = QStringList{dir.filePath(QStringLiteral("no/such/folder/clip.mp4"))};
        QTest::mouseClick(w->form()->bt_record, Qt::LeftButton);
        QVERIFY(!w->form()->bt_record->isChecked());
        QVERIFY(!w->recordingTimer());
        QCOMPARE(dialogs->messages.size(), 1);
        QCOMPARE(dialogs->messages[0].title, QStringLiteral("Notice"));
        QVERIFY(!hasMessage(*dialogs, QStringLiteral("Video save successful ")));
    }

    void cancelledRecordingDialog()
    {
        auto w = makeWindow();
        w->form()->pushButton_preview->setChecked(true);
        QTest::mouseClick(w->form()->bt_record, Qt::LeftButton);
        QVERIFY(!w->form()->bt_record->isChecked());
        QVERIFY(!w->recordingTimer());
        QVERIFY(dialogs->messages.isEmpty());
        QVERIFY(w->recordingPath().isNull());
    }

    void previewOffEndsTheRecordingSilently()
    {
        auto w = makeWindow();
        w->form()->pushButton_preview->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(!w->lastPreviewFrame().isNull(), kFrameTimeoutMs);
        const QString path = dir.filePath(QStringLiteral("cut.mp4"));
        dialogs->fileAnswers = QStringList{path};
        QTest::mouseClick(w->form()->bt_record, Qt::LeftButton);
        QTest::qWait(1000);
        w->form()->pushButton_preview->setChecked(false);
        QVERIFY(!w->recordingTimer());
        QVERIFY(dialogs->messages.isEmpty());
        QVERIFY(w->form()->bt_record->isChecked());
        QVERIFY(!w->form()->bt_record->isEnabled());
        QCOMPARE(w->form()->label_recordTime->text(), QString());
        QCOMPARE(streamsOf(path), (QStringList{"audio", "video"}));

        // After a new preview, releasing the button takes the stop branch.
        w->form()->pushButton_preview->setChecked(true);
        QTest::mouseClick(w->form()->bt_record, Qt::LeftButton);
        QVERIFY(hasMessage(*dialogs, QStringLiteral("Video save successful ")));
    }

    void losingTheCameraFinalisesTheRecording()
    {
        auto w = makeWindow();
        w->form()->pushButton_preview->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(!w->lastPreviewFrame().isNull(), kFrameTimeoutMs);
        const QString cleared = dir.filePath(QStringLiteral("cleared.mp4"));
        dialogs->fileAnswers = QStringList{cleared};
        QTest::mouseClick(w->form()->bt_record, Qt::LeftButton);
        QTest::qWait(1000);
        choose(*w, 0);
        QVERIFY(!w->recordingTimer());
        QVERIFY(!w->mediaEngine()->CaptureIsOpen());
        QCOMPARE(streamsOf(cleared), (QStringList{"audio", "video"}));

        // Unplugged: the scan gives it up the same way.
        choose(*w, 1);
        w->form()->bt_record->setChecked(false);
        w->form()->pushButton_preview->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(!w->form()->label_cameraview->frame().isNull(), kFrameTimeoutMs);
        const QString unplugged = dir.filePath(QStringLiteral("unplugged.mp4"));
        dialogs->fileAnswers = QStringList{unplugged};
        QTest::mouseClick(w->form()->bt_record, Qt::LeftButton);
        QVERIFY(w->recordingTimer());
        QTest::qWait(1000);
        cameras->set({});
        scan(*w);
        QVERIFY(!w->recordingTimer());
        QCOMPARE(streamsOf(unplugged), (QStringList{"audio", "video"}));
    }

    void fullDiskStopsTheRecordingWithANotice()
    {
        const QString mountPoint = dir.filePath(QStringLiteral("small"));
        QVERIFY(QDir().mkpath(mountPoint));
        if (run(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=2m", "tmpfs", mountPoint}) != 0)
            QSKIP("mounting a small tmpfs needs root");
        struct Unmount {
            QString path;
            ~Unmount() { run(QStringLiteral("umount"), {"-l", path}); }
        } unmount{mountPoint};

        auto w = makeWindow();
        w->form()->pushButton_preview->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(!w->lastPreviewFrame().isNull(), kFrameTimeoutMs);
        const QString path = mountPoint + QStringLiteral("/full.mp4");
        dialogs->fileAnswers = QStringList{path};
        StderrCapture errors(dir.filePath(QStringLiteral("stderr.txt")));
        QTest::mouseClick(w->form()->bt_record, Qt::LeftButton);
        QVERIFY(w->recordingTimer());
        QTRY_VERIFY_WITH_TIMEOUT(!w->recordingTimer(), 60000);
        const QString log = errors.text();

        QVERIFY(!w->form()->bt_record->isChecked());
        QCOMPARE(dialogs->messages.size(), 1);
        QCOMPARE(dialogs->messages[0].title, QStringLiteral("Notice"));
        QVERIFY2(dialogs->messages[0].text.contains(QStringLiteral("could not be written")),
                 qPrintable(dialogs->messages[0].text));
        QCOMPARE(log.count(QStringLiteral("Recording stopped: cannot write")), 1);
        QVERIFY2(!log.contains(QStringLiteral("Couldn't write")), qPrintable(log));

        // What was written plays to its end without a decoding error.
        QCOMPARE(streamsOf(path), (QStringList{"audio", "video"}));
        QString decodeErrors;
        QCOMPARE(run(QStringLiteral("ffmpeg"), {"-v", "error", "-i", path, "-f", "null", "-"}, &decodeErrors), 0);
        QVERIFY2(decodeErrors.isEmpty(), qPrintable(decodeErrors));

        // The engine is ready for the next recording.
        QVERIFY(w->mediaEngine()->CaptureIsOpen());
    }

    void elapsedTimeDisplay()
    {
        QCOMPARE(Vorq_Cam::recordTimeText(QTime(10, 0, 0), QTime(10, 0, 0)), QStringLiteral("00:00:00"));
        QCOMPARE(Vorq_Cam::recordTimeText(QTime(10, 0, 0), QTime(11, 2, 3, 999)), QStringLiteral("01:02:03"));
        // Across midnight the true duration.
        QCOMPARE(Vorq_Cam::recordTimeText(QTime(23, 59, 58), QTime(0, 0, 3)), QStringLiteral("00:00:05"));
        QCOMPARE(Vorq_Cam::recordTimeText(QTime(22, 0, 0), QTime(21, 59, 59)), QStringLiteral("23:59:59"));
        // The timer wakes just after the shown second changes, midnight included.
        QCOMPARE(Vorq_Cam::msecsToNextRecordSecond(QTime(10, 0, 0), QTime(10, 0, 0, 1)), 1000);
        QCOMPARE(Vorq_Cam::msecsToNextRecordSecond(QTime(10, 0, 0, 500), QTime(10, 0, 7, 499)), 2);
        QCOMPARE(Vorq_Cam::msecsToNextRecordSecond(QTime(23, 59, 59, 900), QTime(0, 0, 0, 100)), 801);
    }

private:
    const PrivateHome home;
    std::unique_ptr<FakeCameras> cameras;
    std::unique_ptr<ScriptedDialogs> dialogs;
    QTemporaryDir dir;
};

QTEST_MAIN(MediaTest)
#include "tst_media.moc"
