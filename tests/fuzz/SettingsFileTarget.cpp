// The settings file parser, fed with any bytes: a file that parses is written
// back in the canonical form, which parses to the same keys and values and is
// written back byte for byte the same; a file that does not parse leaves an
// empty tree and says why (and on which line).
#include "FuzzSupport.h"

#include "SettingsFileFormat.h"

namespace {

bool SameKeys(const platform::KeyTree::Key& a, const platform::KeyTree::Key& b)
{
    if (a.name != b.name || a.values != b.values || a.children.size() != b.children.size())
        return false;
    for (auto i = a.children.begin(), j = b.children.begin(); i != a.children.end(); ++i, ++j)
        if (i->first != j->first || !SameKeys(*i->second, *j->second))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzz::Bytes(data, size);
    platform::KeyTree tree;
    const platform::SettingsParseResult first = platform::ParseSettingsFile(bytes, tree);
    const QByteArray written = platform::SerializeSettingsFile(tree);
    if (!first) {
        FUZZ_CHECK(first.line >= 0 && !first.reason.isEmpty()); // 0: the whole file (not UTF-8)
        FUZZ_CHECK(written == platform::SerializeSettingsFile(platform::KeyTree()));
        return 0;
    }
    platform::KeyTree again;
    const platform::SettingsParseResult second = platform::ParseSettingsFile(written, again);
    FUZZ_CHECK(second.ok);
    FUZZ_CHECK(SameKeys(again.Root(), tree.Root()));
    FUZZ_CHECK(platform::SerializeSettingsFile(again) == written);
    return 0;
}
