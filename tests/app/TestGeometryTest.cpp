// The test-only geometry report: the file the end-to-end test reads to find the
// program's windows and the main panel's controls.
#include "app/TestGeometry.h"
#include "support/ProgramDriver.h"

#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QString ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Lets the report's deferred rewrite run, then reads the file.
QString Settled(const QString& path)
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    return ReadAll(path);
}

} // namespace

class TestGeometry : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new QTemporaryDir;
        path = folder->filePath(QStringLiteral("geometry.txt"));
        qputenv("TABRINE_TEST_GEOMETRY", path.toLocal8Bit());
        InstallTestGeometryReport();
        InstallTestGeometryReport(); // a second call installs nothing more
    }
    static void TearDownTestSuite()
    {
        delete folder;
        folder = nullptr;
    }
    static QTemporaryDir* folder;
    static QString path;
};
QTemporaryDir* TestGeometry::folder = nullptr;
QString TestGeometry::path;

TEST_F(TestGeometry, ListsVisibleWindowsAndPanelItemsAndFollowsTheirChanges)
{
    QMainWindow frame;
    frame.setObjectName(QStringLiteral("Frame"));
    frame.setWindowTitle(QStringLiteral("Tabrine \"x\" -- Not Connected"));
    auto* panel = new QWidget;
    auto* channel = new QPushButton(QStringLiteral("Channel"), panel);
    channel->setObjectName(QStringLiteral("item1015"));
    channel->setGeometry(10, 20, 80, 24);
    auto* soundsOff = new QPushButton(QStringLiteral("Sounds Off"), panel);
    soundsOff->setObjectName(QStringLiteral("item1105"));
    soundsOff->setGeometry(100, 20, 60, 24);
    soundsOff->setEnabled(false);
    auto* hidden = new QPushButton(QStringLiteral("Arp"), panel);
    hidden->setObjectName(QStringLiteral("item1052"));
    hidden->hide();
    auto* label = new QLabel(QStringLiteral("no item"), panel);
    label->setObjectName(QStringLiteral("progress"));
    panel->setFixedSize(200, 100);
    frame.setCentralWidget(panel);
    frame.move(30, 40);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));

    const QPoint origin = panel->mapToGlobal(QPoint(0, 0));
    const QString expectedItems =
        QStringLiteral("item 1015 %1 %2 80 24 1\nitem 1105 %3 %4 60 24 0\n")
            .arg(origin.x() + 10).arg(origin.y() + 20).arg(origin.x() + 100).arg(origin.y() + 20);
    const QPoint frameAt = frame.mapToGlobal(QPoint(0, 0));
    const QString expectedWindow = QStringLiteral("window Frame %1 %2 %3 %4 \"Tabrine \\\"x\\\" -- Not Connected\"\n")
                                       .arg(frameAt.x()).arg(frameAt.y()).arg(frame.width()).arg(frame.height());
    EXPECT_EQ(Settled(path), expectedWindow + expectedItems);

    // A control of the panel is enabled; the title changes.
    soundsOff->setEnabled(true);
    frame.setWindowTitle(QStringLiteral("Tabrine"));
    QString report = Settled(path);
    EXPECT_TRUE(report.contains(QStringLiteral("item 1105 %1 %2 60 24 1\n").arg(origin.x() + 100).arg(origin.y() + 20)))
        << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("\"Tabrine\"\n"))) << report.toStdString();

    // The whole panel is disabled, as the view does while no module is connected.
    panel->setEnabled(false);
    report = Settled(path);
    EXPECT_TRUE(report.contains(QStringLiteral(" 80 24 0\n"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral(" 60 24 0\n"))) << report.toStdString();

    // A dialog comes and goes; a hidden item appears when shown.
    QDialog dialog(&frame);
    dialog.setObjectName(QStringLiteral("ConfigureDeviceDlg"));
    dialog.setWindowTitle(QStringLiteral("Configure Device"));
    dialog.resize(120, 80);
    dialog.show();
    hidden->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    report = Settled(path);
    EXPECT_TRUE(report.contains(QStringLiteral("window ConfigureDeviceDlg "))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral(" 120 80 \"Configure Device\"\n"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("item 1052 "))) << report.toStdString();
    dialog.hide();
    report = Settled(path);
    EXPECT_FALSE(report.contains(QStringLiteral("ConfigureDeviceDlg"))) << report.toStdString();

    // A window that goes takes its items with it.
    frame.hide();
    EXPECT_EQ(Settled(path), QString());
}

TEST_F(TestGeometry, AWindowWithoutANameIsWrittenWithADash)
{
    QWidget box;
    box.setWindowTitle(QStringLiteral("Tabrine"));
    box.resize(50, 30);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_TRUE(Settled(path).startsWith(QStringLiteral("window - "))) << Settled(path).toStdString();
    EXPECT_TRUE(Settled(path).endsWith(QStringLiteral(" 50 30 \"Tabrine\"\n"))) << Settled(path).toStdString();
}

// The end-to-end test's reader takes back exactly what the report writes.
TEST_F(TestGeometry, TheDriversReaderReadsTheReportBack)
{
    QMainWindow frame;
    frame.setObjectName(QStringLiteral("MainFrame"));
    const QString title = QStringLiteral("Tabrine \"odd\" \\name\\n -- Not Connected");
    frame.setWindowTitle(title);
    auto* panel = new QWidget;
    auto* volume = new QPushButton(panel);
    volume->setObjectName(QStringLiteral("item1020"));
    volume->setGeometry(5, 6, 70, 20);
    volume->setEnabled(false);
    frame.setCentralWidget(panel);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));

    const GeometryReport r = GeometryReport::Parse(TestGeometryReportText());
    ASSERT_EQ(r.windows.size(), 1u);
    EXPECT_EQ(r.windows[0].name, QStringLiteral("MainFrame"));
    EXPECT_EQ(r.windows[0].title, title);
    EXPECT_EQ(r.windows[0].rect, QRect(frame.mapToGlobal(QPoint(0, 0)), frame.size()));
    ASSERT_NE(r.FindItem(1020), nullptr);
    EXPECT_EQ(r.FindItem(1020)->rect, QRect(volume->mapToGlobal(QPoint(0, 0)), QSize(70, 20)));
    EXPECT_TRUE(r.Disabled({1020}));
    EXPECT_EQ(r.MainWindow(), &r.windows[0]);
    EXPECT_TRUE(r.OtherWindows().empty());
}
