#pragma once
// The dump tests' fixture: a connected Proteus against the simulated module in
// virtual time (support/ProteusSimFixture.h) with every dump capability set,
// and helpers between the editor's block lists and plain bytes.
#include "core/Settings.h"
#include "dump/ByteBlock.h"
#include "module/Capabilities.h"
#include "sim/DumpHandlers.h"
#include "support/ProteusSimFixture.h"

#include <QDir>

namespace dumptest {

using Messages = std::vector<QByteArray>;

inline Messages ToMessages(const ByteBlockList& blocks)
{
    Messages out;
    for (const TPtr<_ByteBlock>& b : blocks)
        out.push_back(b ? b->ToByteArray() : QByteArray());
    return out;
}

inline ByteBlockList ToBlocks(const Messages& messages)
{
    ByteBlockList out;
    for (const QByteArray& m : messages)
        out.push_back(MakeByteBlock(m));
    return out;
}

/// A capture's messages, read by the simulator's own reader.
inline Messages Capture(const QString& name)
{
    return sim::ReadSyxMessages(QDir(sim::CapturesFolder()).filePath(name));
}

/// messages with byte `at` of every message set to value (from `from` on).
inline Messages WithByte(Messages messages, int at, int value, std::size_t from = 0)
{
    for (std::size_t i = from; i < messages.size(); ++i)
        messages[i][at] = char(value);
    return messages;
}

/// The closed-loop form of a dump: sub-codes 01 and 02.
inline Messages ClosedLoop(const Messages& m)
{
    return WithByte(WithByte(m, 6, 0x01), 6, 0x02, 1);
}
inline Messages OpenLoop(const Messages& m)
{
    return WithByte(WithByte(m, 6, 0x03), 6, 0x04, 1);
}

constexpr std::uint32_t kAllDumps =
    CAP_TESTED | CAP_PRESET_DUMPS | CAP_SETUP_DUMPS | CAP_TUNING_DUMPS | CAP_BANK_MAP_DUMPS | CAP_SYSEX_DUMPS;

class DumpSimTest : public proteustest::ProteusSimTest {
protected:
    static constexpr int kLineSettleMs = 400; // longer than a 1024-byte message at wire rate

    void SetUp() override { StartDumps({}); }

    void StartDumps(const proteustest::SimOptions& options, std::uint32_t capabilities = kAllDumps)
    {
        Start(options);
        GetGlobalConfigurations().SetDword(Capabilities, capabilities);
        // The connection keeps the flags it works by (the probe copies the setting into it).
        proteus->SetCapabilities(capabilities);
    }

    /// Runs f on the module under the loopback's lock (the loopback's worker touches it too).
    /// What the host sent last (an EOF, a section, a bank map) is only taken
    /// when it has crossed the line: lets a little virtual time pass first.
    template <class F>
    auto OnModule(F&& f)
    {
        link->SleepMs(kLineSettleMs);
        return link->withDevice([&](sim::Device&) { return f(*module); });
    }
    template <class F>
    auto OnDumps(F&& f)
    {
        return OnModule([&](sim::Module& m) { return f(sim::Dumps(m)); });
    }

    /// How many messages equal to hex reached the module.
    int SentCount(std::string_view hex)
    {
        const QByteArray wanted = sim::Hex(hex);
        int n = 0;
        for (const QByteArray& m : ToModule())
            n += m == wanted ? 1 : 0;
        return n;
    }
    QStringList Boxes() const { return env->presenter->texts; }
};

} // namespace dumptest
