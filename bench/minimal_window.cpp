// The yardstick of bench/startup_bench: the least a Qt Widgets program does to put a
// main window on the screen (a QApplication, a QMainWindow with a label), with the
// same test-only geometry report as the program, so both are timed the same way.
#include "app/TestGeometry.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InstallTestGeometryReport();
    QMainWindow window;
    window.setObjectName(QStringLiteral("MinimalWindow"));
    window.setWindowTitle(QStringLiteral("Minimal"));
    window.setCentralWidget(new QLabel(QStringLiteral("A minimal Qt Widgets program")));
    window.show();
    return app.exec();
}
