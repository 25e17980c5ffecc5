// The Names document (the user's names for the values of the value-name
// lists) and the setup names cached in the settings store.
#include "core/GlobalResources.h"

#include "core/LineEnds.h"
#include "core/RegistryKey.h"
#include "core/Settings.h"

#include <QRegularExpression>

#include <limits>

namespace {

// The current configuration's "Setups" key; empty when no configuration is
// open (then no setup name is stored: they belong to one configuration).
QString SetupsKeyPath()
{
    const QString base = GetGlobalConfigurations().KeyPath();
    return base.isEmpty() ? QString() : base + QStringLiteral("\\Setups");
}

// The leading decimal number of a value name ("12" and "12x" give 12); text
// without digits gives 0.
int LeadingInt(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?\\d+)"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return 0;
    bool ok = false;
    const qlonglong v = m.captured(1).toLongLong(&ok);
    if (!ok)
        return m.captured(1).startsWith(u'-') ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    return int(std::clamp<qlonglong>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace

bool GlobalResources::GetFunctionNames(const QString& function, std::map<int, QString>& out)
{
    if (Document(SharedDocument::Names).IsNull())
        return false;
    XMLElement root = RootOf(SharedDocument::Names);
    if (root.IsNull())
        return false;
    XMLElement functions = root.SelectSingleNode(u"./FUNCTIONS");
    if (functions.IsNull())
        return false;
    XMLElement list = functions.SelectSingleNode(u"./FUNCTION[@ID='%s']", {function});
    if (list.IsNull())
        return false;
    std::vector<XMLNode> names;
    if (!list.SelectNodes(u"./NAME", names))
        return false;
    for (const XMLElement name : names)
        out.emplace(name.GetIntAttribute(u"ID"), WithStoredLineEnds(name.GetText()));
    return true;
}

bool GlobalResources::SetFunctionName(const QString& function, int id, const QString& given)
{
    Journal(SharedDocument::Names, [this, function, id, given] { SetFunctionName(function, id, given); });
    // Kept with the line ends a reload gives back, so a name reads the same
    // before and after a save.
    const QString name = WithStoredLineEnds(given);
    XMLDocument& doc = Shared(SharedDocument::Names).document;
    if (doc.IsNull())
        return true;
    std::map<int, QString> stored;
    if (GetFunctionNames(function, stored)) {
        const auto it = stored.find(id);
        if (it != stored.end() && it->second == name)
            return true;
    }
    XMLElement root = RootOf(SharedDocument::Names);
    if (root.IsNull())
        return true;
    XMLElement functions = root.SelectSingleNode(u"./FUNCTIONS");
    if (functions.IsNull()) {
        functions = doc.CreateElement(u"FUNCTIONS");
        if (functions.IsNull() || !root.AppendChild(functions))
            return false;
    }
    XMLElement list = functions.SelectSingleNode(u"./FUNCTION[@ID='%s']", {function});
    if (list.IsNull()) {
        list = doc.CreateElement(u"FUNCTION");
        if (list.IsNull())
            return false;
        list.SetAttribute(u"ID", function);
        if (!functions.AppendChild(list))
            return false;
    }
    const QString idText = Format(u"%d", id);
    // The entry the look-up reads for this value: the first whose ID reads as
    // the number (so "07", " 7" and a missing ID, which reads as 0, count).
    XMLElement entry;
    std::vector<XMLNode> entries;
    list.SelectNodes(u"./NAME", entries);
    for (const XMLElement candidate : entries)
        if (candidate.GetIntAttribute(u"ID") == id) {
            entry = candidate;
            break;
        }
    if (!entry.IsNull()) {
        if (entry.GetText() != name) {
            entry.SetText(name);
            Shared(SharedDocument::Names).changed = true;
        }
        return true;
    }
    entry = doc.CreateElement(u"NAME");
    if (entry.IsNull())
        return false;
    entry.SetAttribute(u"ID", idText);
    entry.SetText(name);
    if (!list.AppendChild(entry))
        return false;
    Shared(SharedDocument::Names).changed = true;
    return true;
}

bool GlobalResources::SetSetupName(int setup, const QString& name)
{
    RegistryKey key(SetupsKeyPath(), true);
    if (!key.IsOpen())
        return true;
    const QString valueName = Format(u"%d", setup);
    if (key.ReadString(valueName, QString(), true) != name)
        key.WriteString(valueName, name);
    return true;
}

bool GlobalResources::GetSetupNames(std::map<int, QString>& out)
{
    RegistryKey key(SetupsKeyPath(), true);
    if (!key.IsOpen())
        return true;
    RegistryKey::ValueIterator it = key.GetValueIterator();
    while (it.Next())
        out.emplace(LeadingInt(it.GetName()), it.GetValue());
    return true;
}
