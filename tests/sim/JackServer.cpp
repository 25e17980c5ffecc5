#include "sim/JackServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QStandardPaths>
#include <QThread>

#include <jack/jack.h>
#include <signal.h>
#include <sys/prctl.h>

namespace sim {

namespace {

void Silent(const char*) {}

// Whether a JACK client can connect now. libjack reports every refused attempt on
// stderr; while the server is starting those are expected, so they are kept quiet.
bool TakesClients()
{
    jack_set_error_function(&Silent);
    jack_set_info_function(&Silent);
    jack_status_t status;
    jack_client_t* client = jack_client_open("tabrine-jack-probe", JackNoStartServer, &status);
    jack_set_error_function(nullptr);
    jack_set_info_function(nullptr);
    if (!client)
        return false;
    jack_client_close(client);
    return true;
}

} // namespace

JackServer::~JackServer() { stop(); }

bool JackServer::start(std::chrono::milliseconds timeout, QString* error, int periodFrames)
{
    stop();
    const QString jackd = QStandardPaths::findExecutable(QStringLiteral("jackd"));
    if (jackd.isEmpty()) {
        if (error)
            *error = QStringLiteral("jackd not found");
        return false;
    }
    lock_ = std::make_unique<QLockFile>(QDir::temp().filePath(QStringLiteral("tabrine-test-jackd.lock")));
    lock_->setStaleLockTime(0); // held as long as a test needs; only a dead holder's lock is stale
    if (!lock_->tryLock(int(timeout.count()))) {
        if (error)
            *error = QStringLiteral("another test's JACK server is still running");
        lock_.reset();
        return false;
    }
    // One name for every private server: JACK keeps a machine-wide table of
    // servers by name, and a server that was killed (by a test, or with its
    // test program) leaves its entry behind until a server of the same name
    // starts. The lock above keeps two of them from running at once.
    name_ = QStringLiteral("tabrine-test-private");
    hadPreviousServer_ = qEnvironmentVariableIsSet("JACK_DEFAULT_SERVER");
    previousServer_ = qgetenv("JACK_DEFAULT_SERVER");
    qputenv("JACK_DEFAULT_SERVER", name_.toLocal8Bit());
    // No real-time scheduling and the dummy driver: needs neither privileges nor a sound
    // card, and no device reservation over D-Bus.
    process_ = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("JACK_DEFAULT_SERVER"), name_);
    env.insert(QStringLiteral("JACK_NO_AUDIO_RESERVATION"), QStringLiteral("1"));
    process_->setProcessEnvironment(env);
    process_->setProcessChannelMode(QProcess::MergedChannels);
    // Synchronous mode, a long client time-out and a long period: on a loaded machine
    // (parallel tests, sanitizers) a late client holds the cycle up instead of being
    // thrown out or having its last buffer read again (which repeats messages).
    // The server dies with the test program, even when that is killed.
    process_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process_->start(jackd, {QStringLiteral("--no-realtime"), QStringLiteral("--sync"), QStringLiteral("-t"),
                            QStringLiteral("10000"), QStringLiteral("-d"), QStringLiteral("dummy"), QStringLiteral("-r"),
                            QStringLiteral("48000"), QStringLiteral("-p"), QString::number(periodFrames)});
    if (!process_->waitForStarted(int(timeout.count()))) {
        if (error)
            *error = QStringLiteral("jackd did not start: %1").arg(process_->errorString());
        stop();
        return false;
    }
    // Readiness is a condition of the server, not a time: ask until it answers.
    const QDeadlineTimer deadline(timeout);
    while (!TakesClients()) {
        if (process_->state() != QProcess::Running || deadline.hasExpired()) {
            if (error)
                *error = QStringLiteral("jackd not ready: %1").arg(QString::fromLocal8Bit(process_->readAll()));
            stop();
            return false;
        }
        // Also notices a server that ended at once (no event loop runs here
        // to tell the process object).
        process_->waitForFinished(20);
    }
    return true;
}

void JackServer::stop()
{
    if (process_) {
        if (process_->state() != QProcess::NotRunning) {
            ::kill(pid_t(process_->processId()), SIGCONT);
            process_->terminate();
            if (!process_->waitForFinished(5000)) {
                process_->kill();
                process_->waitForFinished(5000);
            }
        }
        process_.reset();
        if (hadPreviousServer_)
            qputenv("JACK_DEFAULT_SERVER", previousServer_);
        else
            qunsetenv("JACK_DEFAULT_SERVER");
    }
    lock_.reset(); // unlocks
}

bool JackServer::waitUntilAnswering(std::chrono::milliseconds timeout)
{
    const QDeadlineTimer deadline(timeout);
    while (running() && !TakesClients()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return running();
}

bool JackServer::running() const { return process_ && process_->state() == QProcess::Running; }

bool JackServer::signal(int sig)
{
    if (!running())
        return false;
    return ::kill(pid_t(process_->processId()), sig) == 0;
}

} // namespace sim
