#include <memory>

#include <QApplication>
#include <QtTest>

QObject* newAccessibleNamesTest();
QObject* newKeyboardTest();

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(ui);
    int failed = 0;
    for (auto make : {newAccessibleNamesTest, newKeyboardTest}) {
        std::unique_ptr<QObject> test(make());
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed ? 1 : 0;
}
