// The module's replies spoiled between the simulated module and the editor
// (a data byte changed, cut short, lengthened, doubled, another device id, a
// status byte inside, a pulled cable, silence, a stray message) over the main
// operations: the connect sequence, value requests and a preset download.
// Whatever arrives, a value the editor takes is the module's own unless the
// spoiling could not be seen (a changed data byte, a stray message); a preset
// it takes is the one a clean download gives; and once the spoiling stops,
// the next request gets the module's value again (unless the cable was pulled).
#include "FuzzSession.h"

#include "dump/ByteBlock.h"
#include "module/ParameterIds.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

// Master values the full profile holds (one value each, whatever the channel).
const int kParameters[] = {MASTER_TRANSPOSE, MASTER_TUNE, MASTER_MIDI_ID};

// The command bytes of the replies the operations draw (value, range, names,
// preset dump, the handshakes), and 0x7E06xx identity.
const int kRoutes[] = {sim::kAnyRoute, 0x01, 0x02, 0x04, 0x0C, 0x0F, 0x10, 0x11, 0x7F, 0x7E0601};

struct Armed {
    bool unseen = false; // a spoiling the editor cannot tell from a real answer
    bool cable = false;  // the connection is pulled
};

sim::Fault MakeFault(FuzzedDataProvider& in, Armed& armed)
{
    sim::Fault f;
    switch (in.ConsumeIntegralInRange(0, 9)) {
    case 0: { // a data byte changed
        f = sim::Fault::HighDataByte(in.ConsumeIntegralInRange(1, 300), in.ConsumeIntegralInRange(0, 0x7F));
        armed.unseen = true;
        break;
    }
    case 1: f = sim::Fault::HighDataByte(in.ConsumeIntegralInRange(1, 300), in.ConsumeIntegralInRange(0x80, 0xFF)); break;
    case 2: f = sim::Fault::Truncate(in.ConsumeIntegralInRange(0, 300), in.ConsumeBool()); break;
    case 3: f = sim::Fault::OverLong(in.ConsumeIntegralInRange(1, 300)); break;
    case 4: f = sim::Fault::Doubled(); break;
    case 5: f = sim::Fault::WrongDeviceId(in.ConsumeIntegralInRange(1, 0x7F)); break;
    case 6:
        f = sim::Fault::Disconnect();
        armed.cable = true;
        break;
    case 7: f = sim::Fault::Silence(); break;
    case 8: f = sim::Fault::ModuleError(in.ConsumeIntegralInRange(0, 0x7F)); break;
    default: {
        const std::string bytes = in.ConsumeRandomLengthString(64);
        f = sim::Fault::Unsolicited(QByteArray(bytes.data(), qsizetype(bytes.size())));
        armed.unseen = true;
        break;
    }
    }
    f.on(kRoutes[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kRoutes) - 1)]);
    f.nth(in.ConsumeIntegralInRange(0, 8));
    if (in.ConsumeBool())
        f.limit(in.ConsumeIntegralInRange(1, 3));
    return f;
}

// A value request; when the editor takes a value and nothing unseen was
// armed, it is the module's.
bool CheckValue(fuzz::SimSession& s, int id, bool unseen)
{
    ParamRecord* record = s.proteus->FindParameter(id);
    if (!record || record->id != id)
        return true;
    const bool ok = s.proteus->ParameterRequest(record);
    if (ok && !unseen) {
        const std::optional<int> held = s.OnModule([&](sim::Module& m) { return m.parameterValue(id); });
        FUZZ_CHECK(held && record->value == *held);
    }
    return ok;
}

QList<QByteArray> Messages(const ByteBlockList& blocks)
{
    QList<QByteArray> out;
    for (const TPtr<_ByteBlock>& b : blocks)
        out << (b ? b->ToByteArray() : QByteArray());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Init();
    FuzzedDataProvider in(data, size);
    const int operation = in.ConsumeIntegralInRange(0, 3);
    Armed armed;
    std::vector<sim::Fault> faults;
    for (int n = in.ConsumeIntegralInRange(1, 3); n > 0; --n)
        faults.push_back(MakeFault(in, armed));

    const bool connect = operation == 0;
    fuzz::SetAnswer(msgbox::IdNo);
    fuzz::SimSession s(connect, [&](sim::Module& m) {
        // Values other than the defaults, so a reply read from the wrong place shows.
        FUZZ_CHECK(m.setParameterValue(MASTER_TRANSPOSE, 7));
        FUZZ_CHECK(m.setParameterValue(MASTER_TUNE, -33));
        if (connect)
            for (const sim::Fault& f : faults)
                m.addFault(f);
    });
    Proteus& p = *s.proteus;

    switch (operation) {
    case 0: // the connect sequence ran with the faults armed
        break;
    case 1:
        s.OnModule([&](sim::Module& m) {
            for (const sim::Fault& f : faults)
                m.addFault(f);
        });
        for (int id : kParameters)
            CheckValue(s, id, armed.unseen);
        break;
    case 2:
    case 3: {
        const int sub = operation == 2 ? 2 : 4; // closed and open loop
        ByteBlockList clean;
        if (!p.DownloadPreset(sub, 0, 0, 0, false, clean))
            break;
        s.OnModule([&](sim::Module& m) {
            for (const sim::Fault& f : faults)
                m.addFault(f);
        });
        ByteBlockList spoiled;
        if (p.DownloadPreset(sub, 0, 0, 0, false, spoiled)) {
            for (const QByteArray& m : Messages(spoiled))
                FUZZ_CHECK(fuzz::IsCleanSysEx(m));
            if (!armed.unseen)
                FUZZ_CHECK(Messages(spoiled) == Messages(clean));
        }
        break;
    }
    }

    // The spoiling stops: once the line is quiet, a request gets the module's value.
    s.OnModule([](sim::Module& m) { m.clearFaults(); });
    if (armed.cable || !p.IsConnected())
        return 0;
    s.link->SleepMs(3000);
    p.PumpMessages();
    FUZZ_CHECK(CheckValue(s, MASTER_TRANSPOSE, false));
    return 0;
}
