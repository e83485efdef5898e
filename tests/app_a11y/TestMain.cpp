#include "../support/RunQtTests.h"

QObject* newAccessibleNamesTest();
QObject* newKeyboardTest();

int main(int argc, char** argv)
{
    // The window's pictures are compiled into a static library.
    Q_INIT_RESOURCE(ui);
    return runQtTests(argc, argv, {newAccessibleNamesTest, newKeyboardTest});
}
