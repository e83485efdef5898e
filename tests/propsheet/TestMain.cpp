#include "../support/RunQtTests.h"

QObject* newProcAmpPageTest();
QObject* newCameraControlPageTest();
QObject* newDialogTest();

// The properties dialog's tests, one QtTest class per page plus the dialog.
int main(int argc, char** argv)
{
    return runQtTests(argc, argv, {newProcAmpPageTest, newCameraControlPageTest, newDialogTest});
}
