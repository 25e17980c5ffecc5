// Test entry point shared by every test program: a Qt application object exists
// for the whole run, so queued calls, timers and QStandardPaths behave as in the
// program. Widget tests link Qt Widgets and get a QApplication instead.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <memory>

#if __has_include(<QApplication>) && defined(TABRINE_TEST_WIDGETS)
#include <QApplication>
using TestApp = QApplication;
#else
using TestApp = QCoreApplication;
#endif

int main(int argc, char** argv)
{
    // Make sure the private home of the test run exists before anything uses it.
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        QDir().mkpath(QString::fromLocal8Bit(runtime));
        QFile::setPermissions(QString::fromLocal8Bit(runtime),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    TestApp app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
