#pragma once
// A private JACK server for integration tests: jackd with the dummy driver (no sound
// card), under a server name of its own so that it never meets a developer's JACK.
// Every JACK client of this process then talks to it (JACK_DEFAULT_SERVER is set).
//
// JACK servers of one machine share a registry of shared memory; servers that start
// and stop at the same moment can leave a client unable to attach. So one private
// server runs at a time on the machine: start() waits for a lock file in the temp
// directory that the server holds until stop().
#include <QLockFile>
#include <QProcess>
#include <QString>

#include <chrono>
#include <memory>

namespace sim {

class JackServer {
public:
    JackServer() = default;
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    /// Waits for the machine-wide lock, starts jackd and waits until it takes clients.
    /// False, with *error, when the lock or a ready server does not come within
    /// `timeout` each, or jackd is missing or exits; nothing is left running then.
    /// periodFrames: frames per process cycle (64 .. 1024; 1024 is the calmest).
    bool start(std::chrono::milliseconds timeout, QString* error, int periodFrames = 1024);
    /// Stops jackd (SIGTERM, then kill) and waits for it; a stopped server is
    /// let go on first.
    void stop();
    bool running() const;
    /// Waits until the server takes a new client again (after a client died with its
    /// ports open, a synchronous server waits out its client time-out first); false
    /// when it does not within timeout.
    bool waitUntilAnswering(std::chrono::milliseconds timeout);
    /// Sends a signal to jackd (SIGSTOP stalls it, SIGCONT lets it go on,
    /// SIGKILL ends it); false when it does not run.
    bool signal(int sig);
    QString serverName() const { return name_; }

private:
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QProcess> process_;
    QString name_;
    QByteArray previousServer_;
    bool hadPreviousServer_ = false;
};

} // namespace sim
