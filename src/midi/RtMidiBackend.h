#pragma once
// The program's MIDI backend over RtMidi: the ALSA sequencer by default, or
// a JACK server. RtMidi's own exceptions and error reports never leave this
// backend: a MIDI system that cannot be started (no /dev/snd, no JACK server)
// gives a logged error, an empty port list and failed opens.
//
// RtMidi reports no opens or closes, so the port reports them itself
// (ReportsOpenAndClose is false). Input arrives on RtMidi's ALSA input thread
// with SysEx let through (ignoreTypes(false, false, false)); a SysEx may come
// whole or in pieces.
//
// On JACK the backend speaks to the server itself (JackMidi.h), not through
// RtMidi: RtMidi's JACK output waits without limit for room in its buffer
// while the server does not run its client, and it is never told when the
// server shuts its client down. Input then arrives on the JACK process
// thread; a connection the server drops reports itself closed.

#include "midi/MidiBackend.h"

#include <optional>

class RtMidiBackend final : public MidiBackend {
public:
    enum class Api { Alsa, Jack };

    /// clientName names the MIDI system clients the backend creates (one per
    /// open port and one for each enumeration).
    explicit RtMidiBackend(Api api, const QString& clientName = QStringLiteral("Tabrine"));

    /// "ALSA" or "JACK", compared without regard to case; nothing for others.
    static std::optional<Api> ApiFromName(const QString& name);
    static QString ApiName(Api api);

    Api GetApi() const { return m_api; }

    QString Name() const override;
    std::vector<MidiPortInfo> InputPorts() override;
    std::vector<MidiPortInfo> OutputPorts() override;
    std::unique_ptr<MidiInputConnection> OpenInput(int number, MidiInputSink* sink, MidiResult* result) override;
    std::unique_ptr<MidiOutputConnection> OpenOutput(int number, MidiOutputSink* sink, MidiResult* result) override;
    bool ReportsOpenAndClose() const override { return false; }

private:
    std::vector<MidiPortInfo> Ports(bool input);
    void LogJackOpenFailure(bool input, int number, const MidiResult& r) const;

    Api m_api;
    QString m_clientName;
};
