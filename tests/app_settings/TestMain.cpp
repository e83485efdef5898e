#include <memory>

#include <QApplication>
#include <QtTest>

QObject* newCameraDeviceTest();
QObject* newVideoPageTest();
QObject* newAudioPageTest();

// The settings tests, one QtTest class per page or layer, run in turn.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int failed = 0;
    for (auto make : {newCameraDeviceTest, newVideoPageTest, newAudioPageTest}) {
        std::unique_ptr<QObject> test(make());
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed ? 1 : 0;
}
