#include "dump/OleProps.h"
#include "dump/SysExFile.h"
#include "platform/FileProperties.h"

#include "RecordingPresenter.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <map>
#include <optional>

#include <sys/xattr.h>

namespace {

using platform::FilePropertiesResult;
using platform::SummaryProperties;
using platform::SummaryProperty;

// Properties kept in memory per path; can play a file system without them.
class MemoryPropertyStore final : public platform::FilePropertyStore {
public:
    FilePropertiesResult Write(const QString& path, const SummaryProperties& properties) override
    {
        if (unsupported)
            return Unsupported();
        files[path] = properties;
        return {};
    }
    FilePropertiesResult Read(const QString& path, SummaryProperties& properties) override
    {
        if (unsupported)
            return Unsupported();
        if (const auto it = files.find(path); it != files.end())
            for (const auto& [property, value] : it->second)
                properties[property] = value;
        return {};
    }

    bool unsupported = false;
    std::map<QString, SummaryProperties> files;

private:
    static FilePropertiesResult Unsupported() { return {FilePropertiesResult::Unsupported, ENOTSUP, "Operation not supported"}; }
};

class StoreScope {
public:
    explicit StoreScope(std::shared_ptr<platform::FilePropertyStore> store) { platform::SetCurrentFilePropertyStore(std::move(store)); }
    ~StoreScope() { platform::SetCurrentFilePropertyStore(nullptr); }
};

OleProps Props(const char* title, const char* comments)
{
    OleProps props;
    props.title = QString::fromUtf8(title);
    props.comments = QString::fromUtf8(comments);
    return props;
}

// ---------------------------------------------------------------- the record over any store

TEST(OleProps, ReadFillsTrimmedTextsOnlyFromAFileWithProperties)
{
    const struct {
        const char* name;
        std::optional<SummaryProperties> held; // nothing: no properties at all
        bool unsupported;
        const char* title;
        const char* comments;
    } cases[] = {
        {"no properties keeps the record", std::nullopt, false, "old title", "old comments"},
        {"unsupported file system keeps the record", std::nullopt, true, "old title", "old comments"},
        {"blanks trimmed at both ends",
         SummaryProperties{{SummaryProperty::Title, "  Lead Pad \t"}, {SummaryProperty::Comments, "\n warm \n"}}, false,
         "Lead Pad", "warm"},
        {"properties without these two give empty texts", SummaryProperties{{SummaryProperty::Author, "Jane"}}, false,
         "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto store = std::make_shared<MemoryPropertyStore>();
        store->unsupported = c.unsupported;
        if (c.held)
            store->files[QStringLiteral("/x.sysex")] = *c.held;
        StoreScope scope(store);

        OleProps props = Props("old title", "old comments");
        EXPECT_TRUE(props.ReadFrom(QStringLiteral("/x.sysex")));
        EXPECT_EQ(props.title, QString::fromUtf8(c.title));
        EXPECT_EQ(props.comments, QString::fromUtf8(c.comments));
    }
}

TEST(OleProps, WriteStoresTitleCommentsAuthorAndApplicationOnly)
{
    auto store = std::make_shared<MemoryPropertyStore>();
    StoreScope scope(store);

    EXPECT_TRUE(Props("Setup 3", "for the gig").WriteTo(QStringLiteral("/x.sysex")));

    SummaryProperties expected{
        {SummaryProperty::Title, "Setup 3"},
        {SummaryProperty::Comments, "for the gig"},
        {SummaryProperty::AppName, "Tabrine"},
    };
    if (const auto owner = platform::RegisteredOwner())
        expected[SummaryProperty::Author] = *owner;
    EXPECT_EQ(store->files[QStringLiteral("/x.sysex")], expected);
}

TEST(OleProps, FileSystemWithoutPropertiesIsNoError)
{
    PresenterScope messages;
    auto store = std::make_shared<MemoryPropertyStore>();
    store->unsupported = true;
    StoreScope scope(store);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plain.sysex"));

    ASSERT_TRUE(SysExFile::Write(path, {MakeByteBlock(QByteArrayView("\xF0\x01\xF7", 3))}, Props("t", "c")));
    ByteBlockList blocks;
    OleProps props = Props("old", "old");
    ASSERT_TRUE(SysExFile::Read(path, blocks, props));
    EXPECT_EQ(blocks.size(), 1u);
    EXPECT_EQ(props.title, QStringLiteral("old"));
    EXPECT_TRUE(messages.presenter->shown.empty());
}

// ---------------------------------------------------------------- extended attributes

class ExtendedAttributes : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("dump.sysex"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("\xF0\xF7", 2);
        file.close();
        // A probe through the real store: tmpfs and ext4 keep user attributes,
        // some mounts (older tmpfs, network and FAT file systems) do not.
        const auto probe = platform::MakeExtendedAttributeStore()->Write(path, {});
        if (probe.status == FilePropertiesResult::Unsupported)
            GTEST_SKIP() << "the file system of " << dir.path().toStdString() << " keeps no user extended attributes";
        ASSERT_TRUE(probe) << probe.description.toStdString();
    }

    std::optional<QByteArray> Raw(const char* name) const
    {
        char buffer[256];
        const ssize_t size = ::getxattr(QFile::encodeName(path).constData(), name, buffer, sizeof buffer);
        if (size < 0)
            return std::nullopt;
        return QByteArray(buffer, qsizetype(size));
    }
    void SetRaw(const char* name, const char* value) const
    {
        ASSERT_EQ(::setxattr(QFile::encodeName(path).constData(), name, value, std::strlen(value), 0), 0) << name;
    }

    QTemporaryDir dir;
    QString path;
    PresenterScope messages;
};

TEST_F(ExtendedAttributes, TitleAndCommentsComeBackWithTheFile)
{
    const ByteBlockList blocks{MakeByteBlock(QByteArrayView("\xF0\x01\xF7", 3))};
    ASSERT_TRUE(SysExFile::Write(path, blocks, Props("  Grand Piano ", "Layer 1 \xC3\xA9tude\nsecond line  ")));

    // Stored as given, under the names file managers show.
    EXPECT_EQ(Raw("user.dublincore.title"), QByteArray("  Grand Piano "));
    EXPECT_EQ(Raw("user.xdg.comment"), QByteArray("Layer 1 \xC3\xA9tude\nsecond line  "));
    EXPECT_EQ(Raw("user.xdg.creator"), QByteArray("Tabrine"));
    if (const auto owner = platform::RegisteredOwner()) {
        EXPECT_EQ(Raw("user.dublincore.creator"), owner->toUtf8());
    }

    ByteBlockList read;
    OleProps props;
    ASSERT_TRUE(SysExFile::Read(path, read, props));
    EXPECT_EQ(props.title, QStringLiteral("Grand Piano"));
    EXPECT_EQ(props.comments, QString::fromUtf8("Layer 1 \xC3\xA9tude\nsecond line"));
}

TEST_F(ExtendedAttributes, WritingReplacesTheWholeSetAndLeavesOtherAttributes)
{
    SetRaw("user.dublincore.title", "old title");
    SetRaw("user.dublincore.subject", "old subject");
    SetRaw("user.xdg.tags", "old,tags");
    SetRaw("user.other.tool", "keep me");

    EXPECT_TRUE(Props("", "").WriteTo(path));

    EXPECT_EQ(Raw("user.dublincore.title"), QByteArray());
    EXPECT_EQ(Raw("user.xdg.comment"), QByteArray());
    EXPECT_EQ(Raw("user.dublincore.subject"), std::nullopt);
    EXPECT_EQ(Raw("user.xdg.tags"), std::nullopt);
    EXPECT_EQ(Raw("user.other.tool"), QByteArray("keep me"));
}

TEST_F(ExtendedAttributes, FileWithoutPropertiesOrNoFileLeavesTheRecord)
{
    for (const QString& target : {path, dir.filePath(QStringLiteral("missing.sysex"))}) {
        SCOPED_TRACE(target.toStdString());
        OleProps props = Props("old title", "old comments");
        EXPECT_TRUE(props.ReadFrom(target));
        EXPECT_EQ(props.title, QStringLiteral("old title"));
        EXPECT_EQ(props.comments, QStringLiteral("old comments"));
    }
}

TEST(RegisteredOwner, FullNameIsTheGecosTextBeforeTheFirstComma)
{
    const struct {
        const char* gecos;
        const char* name;
    } cases[] = {
        {"Jane Doe,Room 12,555-0100,", "Jane Doe"},
        {"Jane Doe", "Jane Doe"},
        {",,,", ""},
        {"", ""},
        {nullptr, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gecos ? c.gecos : "(null)");
        EXPECT_EQ(platform::FullNameFromGecos(c.gecos), QString::fromUtf8(c.name));
    }
}

} // namespace
