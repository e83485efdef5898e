// The speaker and microphone popups against the test PulseAudio server.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstring>

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "EndpointLevels.h"
#include "FakeCameras.h"
#include "VolumePopup.h"
#include "Vorq_Cam.h"
#include "Vorq_CamForm.h"
#include "platform/EndpointVolume.h"

using vorq::platform::AudioEndpoint;
using vorq::platform::EndpointFlow;
using vorq::platform::EndpointVolume;

namespace {

std::vector<AudioEndpoint> endpoints(EndpointFlow flow)
{
    std::vector<AudioEndpoint> list;
    auto server = EndpointVolume::connect(2000, nullptr);
    if (server) server->list(flow, list);
    return list;
}

void setLevel(EndpointFlow flow, const std::string& name, float level)
{
    auto server = EndpointVolume::connect(2000, nullptr);
    QVERIFY(server);
    QVERIFY(server->setLevel(flow, name, 2, level));
}

bool allAt(EndpointFlow flow, float level)
{
    const auto list = endpoints(flow);
    if (list.empty()) return false;
    for (const auto& e : list)
        for (float c : e.channelLevels)
            if (std::fabs(c - level) > 0.001f) return false;
    return true;
}

const QString kMute = QStringLiteral("border-image: url(:/UI/Button/mute.png);");
const QString kVolume = QStringLiteral("border-image: url(:/UI/Button/volume.png);");

} // namespace

class VolumeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(ui);
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) QSKIP("needs the test sound server (./test.sh starts it)");
        QCOMPARE(endpoints(EndpointFlow::Render).size(), size_t(2));
        QCOMPARE(endpoints(EndpointFlow::Capture).size(), size_t(2)); // the monitors are no microphones
    }

    void speakerSliderSetsEverySpeaker()
    {
        FakeCameras cameras;
        Vorq_Cam w;
        QMetaObject::invokeMethod(&w, "horizontalSlider_Volume_sliderMoved", Q_ARG(int, 37));
        QTRY_VERIFY(allAt(EndpointFlow::Render, 0.37f));
        QCOMPARE(w.form()->bt_volume->styleSheet(), kVolume);
        QCOMPARE(w.speakerPopup()->valueLabel()->text(), QStringLiteral("37"));
        QCOMPARE(w.speakerPopup()->valueLabel()->pos(), QPoint(30, 83 - 29));
        QVERIFY(!w.speakerPopup()->slider()->isHidden());

        QMetaObject::invokeMethod(&w, "horizontalSlider_Volume_sliderMoved", Q_ARG(int, 0));
        QTRY_VERIFY(allAt(EndpointFlow::Render, 0.0f));
        QCOMPARE(w.form()->bt_volume->styleSheet(), kMute);
        QCOMPARE(w.speakerPopup()->valueLabel()->pos(), QPoint(30, 83));
    }

    void refreshShowsTheLastSpeaker()
    {
        setLevel(EndpointFlow::Render, "vorq_speaker", 0.70f);
        setLevel(EndpointFlow::Render, "vorq_other_speaker", 0.37f);
        FakeCameras cameras;
        Vorq_Cam w;
        QTRY_COMPARE(w.speakerPopup()->slider()->value(), 37);
        QCOMPARE(w.form()->bt_volume->styleSheet(), kVolume);

        setLevel(EndpointFlow::Render, "vorq_other_speaker", 0.0f);
        w.speakerPopup()->refresh();
        QTRY_COMPARE(w.speakerPopup()->slider()->value(), 0);
        QCOMPARE(w.form()->bt_volume->styleSheet(), kMute);
        QCOMPARE(w.speakerPopup()->valueLabel()->text(), QStringLiteral("0"));
    }

    void microphoneSliderSetsEveryMicrophone()
    {
        const auto monitorsBefore = endpoints(EndpointFlow::Render);
        FakeCameras cameras;
        Vorq_Cam w;
        QMetaObject::invokeMethod(&w, "horizontalSlider_MicVolume_sliderMoved", Q_ARG(int, 64));
        QTRY_VERIFY(allAt(EndpointFlow::Capture, 0.64f));
        QCOMPARE(w.form()->bt_microphone->styleSheet(), QStringLiteral("border-image: url(:/UI/Button/microphone.png);"));
        w.microphonePopup()->refresh();
        QTRY_COMPARE(w.microphonePopup()->slider()->value(), 64);

        QMetaObject::invokeMethod(&w, "horizontalSlider_MicVolume_sliderMoved", Q_ARG(int, 0));
        QCOMPARE(w.form()->bt_microphone->styleSheet(), QStringLiteral("border-image: url(:/UI/Button/mic_mute.png);"));
        QCOMPARE(w.microphonePopup()->valueLabel()->pos(), QPoint(30, 83));
        // Every value fits in the label and the label in the slider.
        QMetaObject::invokeMethod(&w, "horizontalSlider_MicVolume_sliderMoved", Q_ARG(int, 100));
        for (VolumePopup* popup : {w.speakerPopup(), w.microphonePopup()}) {
            QLabel* label = popup->valueLabel();
            label->setText(QStringLiteral("100"));
            QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
            QVERIFY(label->x() >= 0 && label->geometry().right() < popup->slider()->width());
        }
    }

    void sliderKeepsTheBalance()
    {
        {
            auto server = EndpointVolume::connect(2000, nullptr);
            QVERIFY(server);
            QVERIFY(server->setChannelLevels(EndpointFlow::Render, "vorq_speaker", {0.30f, 0.60f}));
            QVERIFY(server->setChannelLevels(EndpointFlow::Render, "vorq_other_speaker", {0.0f, 0.0f}));
        }
        QCOMPARE(setSpeakerVolume(40), 1);
        for (const AudioEndpoint& e : endpoints(EndpointFlow::Render)) {
            QCOMPARE(e.channelLevels.size(), size_t(2));
            const bool balanced = e.name == "vorq_speaker";
            QVERIFY2(std::fabs(e.channelLevels[0] - (balanced ? 0.20f : 0.40f)) < 0.002f, e.name.c_str());
            QVERIFY2(std::fabs(e.channelLevels[1] - 0.40f) < 0.002f, e.name.c_str());
        }
    }

    void silentServerLeavesTheWindowAlone()
    {
        // Accepts connections and never answers.
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("pulse")));
        const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        QVERIFY(listener >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
        QCOMPARE(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        QCOMPARE(::listen(listener, 16), 0);
        const QByteArray saved = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", "unix:" + path);
        const auto restore = qScopeGuard([&] {
            qputenv("PULSE_SERVER", saved);
            ::close(listener);
        });
        {
            FakeCameras cameras;
            Vorq_Cam w;
            // Opened and moved while the server's answers are outstanding.
            w.form()->bt_volume->setChecked(true);
            QMetaObject::invokeMethod(&w, "horizontalSlider_Volume_sliderMoved", Q_ARG(int, 55));
            QCOMPARE(w.speakerPopup()->valueLabel()->text(), QStringLiteral("55"));
            QVERIFY(!w.speakerPopup()->slider()->isHidden());
        }
    }

    void popupHidesItself()
    {
        QWidget window;
        QPushButton button(&window);
        button.setCheckable(true);
        std::atomic<float> level{50};
        // The sound server is never asked from the GUI thread.
        std::atomic<bool> onGuiThread{false};
        const auto noteThread = [&] { onGuiThread = onGuiThread || QThread::currentThread() == qApp->thread(); };
        VolumePopup popup(&window, &button,
                          {QRect(800, 525, 45, 100), QRect(30, 83, 30, 22), kMute, kVolume,
                           [&](float& l) { noteThread(); l = level; return 0; },
                           [&](float l) { noteThread(); level = l; return 1; }});
        window.show();
        QCOMPARE(popup.slider()->geometry(), QRect(800, 525, 45, 100));
        QVERIFY(popup.slider()->isHidden());
        QTRY_COMPARE(popup.slider()->value(), 50);

        // A click shows it and arms three seconds.
        QTest::mouseClick(&button, Qt::LeftButton);
        QVERIFY(popup.slider()->isVisible());
        QVERIFY(popup.hideTimer()->isActive());
        QCOMPARE(popup.hideTimer()->interval(), 3000);
        // Moving disarms; letting go arms two seconds.
        popup.sliderMoved(20);
        QVERIFY(!popup.hideTimer()->isActive());
        QTRY_COMPARE(level.load(), 20.0f);
        emit popup.slider()->sliderReleased();
        QCOMPARE(popup.hideTimer()->interval(), 2000);
        QVERIFY(popup.hideTimer()->isActive());
        QMetaObject::invokeMethod(popup.hideTimer(), "timeout");
        QVERIFY(popup.slider()->isHidden());
        QVERIFY(!button.isChecked());

        // A second click hides it at once.
        QTest::mouseClick(&button, Qt::LeftButton);
        QVERIFY(popup.slider()->isVisible());
        QTest::mouseClick(&button, Qt::LeftButton);
        QVERIFY(popup.slider()->isHidden());
        QVERIFY(!button.isChecked());
        QVERIFY(!onGuiThread);
    }

    void noServerFailsLikeAMissingEnumerator()
    {
        const QByteArray saved = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", "unix:/nonexistent/vorq-no-server");
        float level = 42;
        QCOMPARE(getSpeakerVolume(level), 0);
        QCOMPARE(level, 42.0f);
        QCOMPARE(getMicrophoneVolume(level), -1);
        QCOMPARE(setSpeakerVolume(10), 0);
        QCOMPARE(setMicrophoneVolume(10), 0);
        qputenv("PULSE_SERVER", saved);
    }

    void cleanupTestCase()
    {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) return;
        for (const char* sink : {"vorq_speaker", "vorq_other_speaker"}) setLevel(EndpointFlow::Render, sink, 1.0f);
        for (const char* source : {"vorq_mic", "vorq_other_mic"}) setLevel(EndpointFlow::Capture, source, 1.0f);
    }
};

QTEST_MAIN(VolumeTest)
#include "tst_volume.moc"
