// Test entry point shared by every test program: a Qt application object exists
// for the whole run, so queued calls, timers and QStandardPaths behave as in the
// program. Widget tests link Qt Widgets and get a QApplication instead; tests
// on a real X display (TABRINE_TEST_XDISPLAY) first start a private X server.
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

#ifdef TABRINE_TEST_XDISPLAY
#include "support/XServer.h"
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
#ifdef TABRINE_TEST_XDISPLAY
    XServer server;
    if (!server.Start()) {
        std::fprintf(stderr, "No X server for the display tests: %s\n", server.Error().c_str());
        return 1;
    }
#endif
    int result = 0;
    {
        TestApp app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
