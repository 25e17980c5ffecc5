#pragma once
// The pieces of a run of the real program against the simulated module program
// over a JACK server, as scripts/run.sh --simulated starts them: the module on its
// JACK ports (tabrine_simmodule), which writes the program's configuration for
// them, and the program itself with the test-only geometry report. Shared by the
// end-to-end test (tests/app/e2e) and bench/startup_bench.

#include "support/ProgramDriver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>

#include <chrono>
#include <memory>
#include <vector>

#include <sys/prctl.h>

/// The main panel's controls that follow the connection (enabled while a module is
/// connected, disabled otherwise): pan, channel, volume, keyboard, preset, Sounds Off.
/// (Others also follow what the module can do.)
inline const std::vector<int> kPanelControls = {1050, 1015, 1020, 1011, 1014, 1105};

/// The process gets SIGTERM when this one ends, however it ends (a crashed test leaves
/// nothing running).
inline void EndWithThisProcess(QProcess& p)
{
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

/// One message of the simulated module's transcript file.
struct TranscriptLine {
    bool toModule = false;
    QByteArray bytes;
};

/// Reads the transcript file the module program writes as it goes (sim::DumpLine).
inline std::vector<TranscriptLine> ReadTranscript(const QString& path)
{
    static const QRegularExpression line(QStringLiteral(R"((host>module|module>host) ([0-9a-f ]*) \[)"));
    std::vector<TranscriptLine> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QRegularExpressionMatch m = line.match(QString::fromUtf8(raw));
        if (m.hasMatch())
            out.push_back({m.captured(1) == QStringLiteral("host>module"),
                           QByteArray::fromHex(m.captured(2).toLatin1())});
    }
    return out;
}

/// The parameter id of a parameter edit sent to the module (F0 18 0F dd 55 01 02 id id v v F7); -1 for others.
inline int EditedParameter(const QByteArray& m)
{
    if (m.size() != 12 || uchar(m[0]) != 0xF0 || uchar(m[1]) != 0x18 || uchar(m[2]) != 0x0F || uchar(m[4]) != 0x55
        || uchar(m[5]) != 0x01 || uchar(m[6]) != 0x02)
        return -1;
    return (uchar(m[7]) & 0x7F) | ((uchar(m[8]) & 0x7F) << 7);
}

/// The simulated module program on its JACK ports.
class SimulatedModule {
public:
    /// Starts it and waits for its "ready" line; false with *error otherwise.
    bool Start(const QString& program, const QString& profile, const QString& clientName, const QString& configuration,
               const QString& transcriptPath, bool silent, QString* error)
    {
        m_transcript = transcriptPath;
        QStringList args{QStringLiteral("--profile"), profile, QStringLiteral("--name"), clientName,
                         QStringLiteral("--configure"), configuration, QStringLiteral("--transcript"), transcriptPath};
        if (silent)
            args << QStringLiteral("--silent");
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        EndWithThisProcess(m_process);
        m_process.start(program, args);
        QByteArray out;
        const bool ready = WaitUntil(
            [&] {
                out += m_process.readAllStandardOutput();
                return out.contains("ready ") || m_process.state() == QProcess::NotRunning;
            },
            std::chrono::seconds(30));
        if (!ready || !out.contains("ready ")) {
            *error = QStringLiteral("the simulated module did not start: ") +
                     QString::fromLocal8Bit(out + m_process.readAllStandardError());
            Stop();
            return false;
        }
        return true;
    }
    /// Ends it with SIGTERM; true when it ended cleanly (exit code 0).
    bool Stop()
    {
        const bool ended = EndProcess(m_process);
        return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }
    std::vector<TranscriptLine> Transcript() const { return ReadTranscript(m_transcript); }
    QProcess& Process() { return m_process; }

private:
    QProcess m_process;
    QString m_transcript;
};

/// The program, started with a configuration name and its geometry report.
class ProgramUnderTest {
public:
    void Start(const QString& program, const QString& configuration, const QString& folder)
    {
        m_geometry = QDir(folder).filePath(QStringLiteral("geometry.txt"));
        m_stderr = QDir(folder).filePath(QStringLiteral("program-stderr.txt"));
        QFile::remove(m_geometry);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TABRINE_TEST_GEOMETRY"), m_geometry);
        m_process = std::make_unique<QProcess>();
        m_process->setProcessEnvironment(env);
        m_process->setStandardOutputFile(QProcess::nullDevice());
        m_process->setStandardErrorFile(m_stderr);
        EndWithThisProcess(*m_process);
        m_clock.start();
        m_process->start(program, {configuration});
    }
    GeometryReport Report() const { return GeometryReport::Read(m_geometry); }
    bool Running() const { return m_process && m_process->state() != QProcess::NotRunning; }
    /// What the program wrote on standard error so far (its log).
    QString Log() const
    {
        QFile f(m_stderr);
        return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    }
    /// Milliseconds since the start.
    qint64 Elapsed() const { return m_clock.elapsed(); }
    /// Ends it as a user does: a click on the main window's status bar (which makes it
    /// the active window) and its Exit key, Ctrl+X; a message box in the way is answered
    /// first. True when it ended so; otherwise it is ended with SIGTERM (false). A
    /// program that dies with its JACK ports open holds a synchronous JACK server up
    /// for many seconds, so the next start would find no MIDI system.
    bool Quit()
    {
        for (int attempt = 0; attempt < 4 && Running(); ++attempt) {
            const GeometryReport r = Report();
            if (!r.OtherWindows().empty()) {
                m_answered = QRect();
                AnswerMessages(r, nullptr);
            } else if (const GeometryReport::Window* main = r.MainWindow()) {
                ClickAt(main->rect.bottomLeft() + QPoint(4, -4));
                PressKey(QStringLiteral("ctrl+x"));
            }
            if (m_process->waitForFinished(5000))
                return true;
        }
        // A program that took its Exit key may still be ending: a sanitizer
        // build's exit checks take many seconds on a busy machine.
        if (!Running() || m_process->waitForFinished(30000))
            return true;
        EndProcess(*m_process);
        return false;
    }
    /// Ends it with SIGTERM; false when it had to be killed.
    bool Stop() { return m_process ? EndProcess(*m_process) : true; }

    /// Waits for the connected main window: the panel enabled and the title without
    /// a state suffix. The one-time message of a first connect ("This is the first
    /// time ...") is answered with Return; *messages counts the message boxes seen.
    bool WaitConnected(std::chrono::milliseconds timeout, int* messages = nullptr)
    {
        return WaitUntil(
            [&] {
                const GeometryReport r = Report();
                AnswerMessages(r, messages);
                const GeometryReport::Window* main = r.MainWindow();
                return main && r.OtherWindows().empty() && r.Enabled(kPanelControls)
                       && !main->title.contains(QStringLiteral(" -- "));
            },
            timeout) && Running();
    }

    /// Answers a message box of the program (a window other than the main one,
    /// titled with the product name) with Return, once per box shown.
    void AnswerMessages(const GeometryReport& r, int* messages)
    {
        for (const GeometryReport::Window& w : r.OtherWindows()) {
            if (!w.title.startsWith(QStringLiteral("Tabrine")))
                continue;
            const bool again = w.rect == m_answered;
            if (again && m_answeredAt.elapsed() < 2000)
                return; // closing; answered again when it stays
            if (!again && messages)
                ++*messages;
            m_answered = w.rect;
            m_answeredAt.start();
            // A click on the box's margin makes it the active window; Return then
            // presses its default button.
            ClickAt(w.rect.topLeft() + QPoint(6, 6));
            PressKey(QStringLiteral("Return"));
            return;
        }
        m_answered = QRect();
    }

private:
    std::unique_ptr<QProcess> m_process;
    QString m_geometry;
    QString m_stderr;
    QElapsedTimer m_clock;
    QRect m_answered;
    QElapsedTimer m_answeredAt;
};
