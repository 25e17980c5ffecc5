#pragma once
// Stands in for the document's alternate port as far as the MIDI layer sees
// it: the controller keyboard's input and the module's B output. It does
// what the document's port does with each notification: its own work on a
// connect, then the port's; received SysEx and error buffers are taken and
// handed back unread; each short message goes on through the MIDI thru,
// re-channelled to the panel's channel, to forward (the module connection).

#include "midi/MidiMessages.h"
#include "midi/MidiPort.h"

#include <functional>

class AlternatePortDouble : public MidiPort {
public:
    AlternatePortDouble(std::function<void(std::uint32_t)> forward, std::function<int()> channel,
                        std::shared_ptr<MidiBackend> backend = nullptr)
        : MidiPort(false, std::move(backend)), m_forward(std::move(forward)), m_channel(std::move(channel))
    {
    }

    void OnConnect() override
    {
        ++connects; // the document updates the panel's channel range here
        MidiPort::OnConnect();
    }
    void OnIncomingMessage() override
    {
        MidiPort::OnIncomingMessage();
        TPtr<_MidiBuffer> buffer;
        while (GetIncomingMessage(buffer)) {
            ReleaseIncomingMessage(buffer);
            buffer = nullptr;
        }
    }
    void OnIncomingError() override
    {
        MidiPort::OnIncomingError();
        TPtr<_MidiBuffer> buffer;
        while (GetIncomingError(buffer)) {
            ReleaseIncomingMessage(buffer);
            buffer = nullptr;
        }
    }
    void OnShortData(std::uint32_t packed) override
    {
        MidiPort::OnShortData(packed);
        ++shortMessages;
        if (const auto thru = MidiThruMessage(packed, m_channel()))
            m_forward(*thru);
    }

    int connects = 0;
    int shortMessages = 0;

private:
    std::function<void(std::uint32_t)> m_forward;
    std::function<int()> m_channel;
};
