#pragma once

#include <initializer_list>
#include <memory>

#include <QApplication>
#include <QtTest>

#include "PrivateHome.h"

// One executable for several QtTest classes: each is made, run and deleted
// in turn under one widget application; the exit status says whether any failed.
inline int runQtTests(int argc, char** argv, std::initializer_list<QObject* (*)()> makers)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const PrivateHome home;
    QApplication app(argc, argv);
    int failed = 0;
    for (auto make : makers) {
        std::unique_ptr<QObject> test(make());
        failed += QTest::qExec(test.get(), argc, argv);
    }
    return failed ? 1 : 0;
}
