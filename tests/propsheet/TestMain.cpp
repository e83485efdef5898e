#include <memory>

#include <QApplication>
#include <QtTest>

QObject* newProcAmpPageTest();
QObject* newCameraControlPageTest();
QObject* newDialogTest();

// The properties dialog's tests, one QtTest class per page plus the dialog.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int failed = 0;
    for (auto make : {newProcAmpPageTest, newCameraControlPageTest, newDialogTest}) {
        std::unique_ptr<QObject> test(make());
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed ? 1 : 0;
}
