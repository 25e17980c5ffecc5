#pragma once
// A simulated module on a virtual clock, ready for a test: built from a profile of
// the data file or from a literal profile text, with one-call exchanges.
//
//   auto h = sim::Harness::fromJson(R"({"base": "minimal", "deviceId": 5})");
//   auto replies = h->exchange(sim::Hex("F0 7E 05 06 01 F7"));
#include "sim/Clock.h"
#include "sim/Module.h"
#include "sim/Runner.h"

#include <memory>

namespace sim {

class Harness {
public:
    explicit Harness(Profile profile) : module_(std::move(profile)), runner_(module_, clock_) {}

    /// Null and *error when the profile is unknown or bad.
    static std::unique_ptr<Harness> fromProfile(const QString& name, QString* error = nullptr);
    static std::unique_ptr<Harness> fromJson(QByteArrayView json, QString* error = nullptr);

    Module& module() { return module_; }
    VirtualClock& clock() { return clock_; }
    VirtualRunner& runner() { return runner_; }
    const Transcript& transcript() const { return module_.transcript(); }

    /// Sends at the current virtual time without letting time pass.
    void send(const QByteArray& message) { runner_.send(message); }
    /// Sends one message, lets time run until the module is idle, and returns the
    /// messages that reached the host (connection events are left out).
    std::vector<QByteArray> exchange(const QByteArray& request);

private:
    VirtualClock clock_;
    Module module_;
    VirtualRunner runner_;
};

} // namespace sim
