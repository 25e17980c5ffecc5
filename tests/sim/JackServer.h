#pragma once
// A private JACK server for integration tests: jackd with the dummy driver (no sound
// card), under a server name of its own so that it never meets a developer's JACK.
// Every JACK client of this process then talks to it (JACK_DEFAULT_SERVER is set).
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

    /// Starts jackd and waits until it takes clients. False, with *error, when jackd is
    /// missing, exits, or is not ready within `timeout`; nothing is left running then.
    bool start(std::chrono::milliseconds timeout, QString* error);
    /// Stops jackd (SIGTERM, then kill) and waits for it.
    void stop();
    bool running() const;
    QString serverName() const { return name_; }

private:
    std::unique_ptr<QProcess> process_;
    QString name_;
    QByteArray previousServer_;
    bool hadPreviousServer_ = false;
};

} // namespace sim
