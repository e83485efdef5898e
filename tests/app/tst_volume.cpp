// The speaker and microphone popups against the test PulseAudio server.

#include <cmath>

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>
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
        QVERIFY(allAt(EndpointFlow::Render, 0.37f));
        QCOMPARE(w.form()->bt_volume->styleSheet(), kVolume);
        QCOMPARE(w.speakerPopup()->valueLabel()->text(), QStringLiteral("37"));
        QCOMPARE(w.speakerPopup()->valueLabel()->pos(), QPoint(30, 83 - 29));
        QVERIFY(!w.speakerPopup()->slider()->isHidden());

        QMetaObject::invokeMethod(&w, "horizontalSlider_Volume_sliderMoved", Q_ARG(int, 0));
        QVERIFY(allAt(EndpointFlow::Render, 0.0f));
        QCOMPARE(w.form()->bt_volume->styleSheet(), kMute);
        QCOMPARE(w.speakerPopup()->valueLabel()->pos(), QPoint(30, 83));
    }

    void refreshShowsTheLastSpeaker()
    {
        setLevel(EndpointFlow::Render, "vorq_speaker", 0.70f);
        setLevel(EndpointFlow::Render, "vorq_other_speaker", 0.37f);
        FakeCameras cameras;
        Vorq_Cam w;
        QCOMPARE(w.speakerPopup()->slider()->value(), 37);
        QCOMPARE(w.form()->bt_volume->styleSheet(), kVolume);

        setLevel(EndpointFlow::Render, "vorq_other_speaker", 0.0f);
        w.speakerPopup()->refresh();
        QCOMPARE(w.speakerPopup()->slider()->value(), 0);
        QCOMPARE(w.form()->bt_volume->styleSheet(), kMute);
        QCOMPARE(w.speakerPopup()->valueLabel()->text(), QStringLiteral("0"));
    }

    void microphoneSliderSetsEveryMicrophone()
    {
        const auto monitorsBefore = endpoints(EndpointFlow::Render);
        FakeCameras cameras;
        Vorq_Cam w;
        QMetaObject::invokeMethod(&w, "horizontalSlider_MicVolume_sliderMoved", Q_ARG(int, 64));
        QVERIFY(allAt(EndpointFlow::Capture, 0.64f));
        QCOMPARE(w.form()->bt_microphone->styleSheet(), QStringLiteral("border-image: url(:/UI/Button/microphone.png);"));
        w.microphonePopup()->refresh();
        QCOMPARE(w.microphonePopup()->slider()->value(), 64);

        QMetaObject::invokeMethod(&w, "horizontalSlider_MicVolume_sliderMoved", Q_ARG(int, 0));
        QCOMPARE(w.form()->bt_microphone->styleSheet(), QStringLiteral("border-image: url(:/UI/Button/mic_mute.png);"));
        QCOMPARE(w.microphonePopup()->valueLabel()->geometry(), QRect(30, 83, 16, 22));
    }

    void popupHidesItself()
    {
        QWidget window;
        QPushButton button(&window);
        button.setCheckable(true);
        float level = 50;
        VolumePopup popup(&window, &button,
                          {QRect(800, 525, 45, 100), QRect(30, 83, 30, 22), kMute, kVolume,
                           [&](float& l) { l = level; return 0; }, [&](float l) { level = l; return 1; }});
        window.show();
        QCOMPARE(popup.slider()->geometry(), QRect(800, 525, 45, 100));
        QVERIFY(popup.slider()->isHidden());
        QCOMPARE(popup.slider()->value(), 50);

        // A click shows it and arms three seconds.
        QTest::mouseClick(&button, Qt::LeftButton);
        QVERIFY(popup.slider()->isVisible());
        QVERIFY(popup.hideTimer()->isActive());
        QCOMPARE(popup.hideTimer()->interval(), 3000);
        // Moving disarms; letting go arms two seconds.
        popup.sliderMoved(20);
        QVERIFY(!popup.hideTimer()->isActive());
        QCOMPARE(level, 20.0f);
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
