#include <QCoreApplication>

#include <gtest/gtest.h>

// The engine delivers preview pictures through the event loop of the thread
// that started the capture, so the tests run inside a Qt application.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
