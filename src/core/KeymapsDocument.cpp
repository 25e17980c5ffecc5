// The Keymaps document: which sample plays on which keys of each ROM
// instrument. Only read; it ships with the program.
#include "core/GlobalResources.h"

#include "core/Logger.h"

#include <algorithm>
#include <cstdint>
#include <set>

// The diagnostic's lines name the resources module as their source.
#define KEYMAP_WARNING(...) ::CurrentLogger()->Log(-2, "Style", __LINE__, __VA_ARGS__)

bool GlobalResources::GetKeyMap(int simmId, int instrumentId, std::vector<KeyRange>& out)
{
    if (Document(SharedDocument::Keymaps).IsNull())
        return false;
    XMLElement root = RootOf(SharedDocument::Keymaps);
    if (root.IsNull())
        return false;
    XMLElement simm = root.SelectSingleNode(u"./SIMM[@ID='%d']", {simmId});
    if (simm.IsNull())
        return false;
    XMLElement instruments = simm.SelectSingleNode(u"INSTRUMENTS");
    if (instruments.IsNull())
        return false;
    XMLElement instrument = instruments.SelectSingleNode(u"./INSTRUMENT[@ID='%d']", {instrumentId});
    if (instrument.IsNull())
        return false;
    std::vector<XMLNode> keys;
    instrument.SelectNodes(u"./KEY", keys);
    for (const XMLElement key : keys)
        out.push_back({key.GetIntAttribute(u"KEYLO"), key.GetIntAttribute(u"KEYHI"), key.GetText()});
    return true;
}

void GlobalResources::ValidateKeymaps()
{
    if (Document(SharedDocument::Keymaps).IsNull())
        return;
    XMLElement root = RootOf(SharedDocument::Keymaps);
    if (root.IsNull())
        return;
    std::vector<XMLNode> simms;
    if (!root.SelectNodes(u"./SIMM", simms))
        return;
    std::set<int> simmIds;
    std::set<QString> simmNames;
    for (const XMLElement simm : simms) {
        const int id = simm.GetIntAttribute(u"ID");
        const QString name = simm.GetAttribute(u"NAME");
        if (!simmIds.insert(id).second)
            KEYMAP_WARNING(u"Keymap: SIMM %d has duplicate SIMM ID", id);
        if (!simmNames.insert(name).second)
            KEYMAP_WARNING(u"Keymap: SIMM %d (%s) has duplicate SIMM Name", id, name);
        XMLElement instruments = simm.SelectSingleNode(u"INSTRUMENTS");
        std::vector<XMLNode> list;
        if (instruments.IsNull() || !instruments.SelectNodes(u"./INSTRUMENT", list))
            continue;
        std::set<int> instrumentIds;
        std::set<QString> instrumentNames;
        for (const XMLElement instrument : list) {
            const int iid = instrument.GetIntAttribute(u"ID");
            const QString iname = instrument.GetAttribute(u"NAME");
            if (!instrumentIds.insert(iid).second)
                KEYMAP_WARNING(u"Keymap: SIMM %d (%s), Instrument %d has duplicate instrument ID", id, name, iid);
            if (!instrumentNames.insert(iname).second)
                KEYMAP_WARNING(u"Keymap: SIMM %d (%s), Instrument %d (%s) has duplicate instrument Name", id, name, iid,
                               iname);
            // Looked up by id, so with duplicate ids the first SIMM or
            // instrument of that id is the one examined.
            std::vector<KeyRange> keys;
            GetKeyMap(id, iid, keys);
            std::stable_sort(keys.begin(), keys.end(), [](const KeyRange& a, const KeyRange& b) { return a.low < b.low; });
            KeyRange previous{-1, -1, QString()};
            for (const KeyRange& key : keys) {
                if (key.low < 0)
                    KEYMAP_WARNING(u"Keymap: SIMM %d (%s), Instrument %d (%s) Key %s has key lo less than zero", id, name,
                                   iid, iname, key.text);
                if (key.low > 127)
                    KEYMAP_WARNING(u"Keymap: SIMM %d (%s), Instrument %d (%s) Key %s has key lo greater than 127", id,
                                   name, iid, iname, key.text);
                if (key.high < 0)
                    KEYMAP_WARNING(u"Keymap: SIMM %d (%s), Instrument %d (%s) Key %s has key hi less than zero", id, name,
                                   iid, iname, key.text);
                if (key.high > 127)
                    KEYMAP_WARNING(u"Keymap: SIMM %d (%s), Instrument %d (%s) Key %s has key hi greater than 127", id,
                                   name, iid, iname, key.text);
                if (key.high < key.low)
                    KEYMAP_WARNING(u"Keymap: SIMM %d (%s), Instrument %d (%s) Key %s has key hi less than key lo", id,
                                   name, iid, iname, key.text);
                if (previous.high >= key.low && key.text == previous.text)
                    KEYMAP_WARNING(u"Keymap: SIMM %d (%s), Instrument %d (%s) - Key has overlapping sample (%d-%d %s)  "
                                   u"(%d-%d %s). Is it a duplicate?",
                                   id, name, iid, iname, key.low, key.high, key.text, previous.low, previous.high,
                                   previous.text);
                // Widened: a key hi at the integer limit must not wrap around.
                if (std::int64_t(key.low) == std::int64_t(previous.high) + 1 && key.text == previous.text)
                    KEYMAP_WARNING(u"Keymap: SIMM %d (%s), Instrument %d (%s) - Key has adjoining samples (%d-%d %s)  "
                                   u"(%d-%d %s). Could the ranges be aggregated?",
                                   id, name, iid, iname, key.low, key.high, key.text, previous.low, previous.high,
                                   previous.text);
                previous = key;
            }
        }
    }
}
