#pragma once
// A connected Proteus against the simulated module for the dump tests: every
// capability on, the real captures at hand, a private folder for files.
#include "dump/ByteBlock.h"
#include "support/ProteusSimFixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace dumptest {

inline QByteArray Capture(const char* name)
{
    // The captures' folder from the test environment, or the source tree when run by hand.
    QFile f(QDir(qEnvironmentVariable("TABRINE_FIXTURES", QStringLiteral(TABRINE_SOURCE_FIXTURES)))
                .filePath(QLatin1String(name)));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

inline QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline ByteBlockList Blocks(std::initializer_list<QByteArray> messages)
{
    ByteBlockList list;
    for (const QByteArray& m : messages)
        list.push_back(MakeByteBlock(m));
    return list;
}

inline QByteArray Bytes(const ByteBlockList& blocks, std::size_t i = 0)
{
    return i < blocks.size() && blocks[i] ? blocks[i]->ToByteArray() : QByteArray();
}

/// Every capability but CAP_TESTED, as during the capability probe.
inline constexpr std::uint32_t kAllCapabilities = 0xFFFFFFFE;

class DumpSimTest : public proteustest::ProteusSimTest {
protected:
    void SetUp() override
    {
        ProteusSimTest::SetUp();
        proteus->SetCapabilities(kAllCapabilities);
        ASSERT_TRUE(dir.isValid());
    }
    /// Another module (profile literal), the connection on the same device id.
    void StartOn(const char* profile, int deviceId = 0)
    {
        Start({.profileJson = profile, .deviceId = deviceId});
        proteus->SetCapabilities(kAllCapabilities);
    }
    QString PathOf(const char* name) const { return dir.filePath(QLatin1String(name)); }
    const QStringList& Boxes() const { return env->presenter->texts; }
    std::size_t SentCount() { return ToModule().size(); }
    QByteArray LastSent()
    {
        const std::vector<QByteArray> sent = ToModule();
        return sent.empty() ? QByteArray() : sent.back();
    }
    /// Runs f on the simulated module under its lock.
    template <class F>
    auto OnModule(F&& f)
    {
        return link->withDevice([&](sim::Device&) { return f(*module); });
    }

    QTemporaryDir dir;
};

} // namespace dumptest
