#include "../support/RunQtTests.h"

QObject* newCameraDeviceTest();
QObject* newVideoPageTest();
QObject* newAudioPageTest();
QObject* newKeptSettingsTest();

// The settings tests, one QtTest class per page or layer, run in turn.
int main(int argc, char** argv)
{
    return runQtTests(argc, argv, {newCameraDeviceTest, newVideoPageTest, newAudioPageTest, newKeptSettingsTest});
}
