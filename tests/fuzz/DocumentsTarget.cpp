// The four user documents (Tooltips, Keymaps, Mappings, Names), each loaded
// from any bytes: every look-up answers, every setter's text reads back as
// stored, and after a save and a new load every look-up answers as before.
// The first byte picks the document; the rest is the file.
#include "FuzzSupport.h"

#include "core/GlobalResources.h"
#include "core/Settings.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <memory>

namespace {

const char* const kFiles[] = {"Tooltips.xml", "Keymaps.xml", "Mappings.xml", "Names.xml"};

// Odd texts a user can store: line ends, markup, a CDATA end, control
// characters, a character outside the basic plane.
const QString kTexts[] = {
    QStringLiteral("plain"),
    QStringLiteral("two\r\nlines\rand\nmore"),
    QStringLiteral("<b>&amp; ]]> \"'"),
    QString::fromUtf16(u"\u0001tab\there \U0001F600 "),
    QString(),
};

std::unique_ptr<GlobalResources> Open(const QString& folder)
{
    auto r = std::make_unique<GlobalResources>();
    DataLocations l;
    l.documentsFolder = folder;
    l.programFolder = folder + QStringLiteral("/none");
    r->SetDataLocations(l);
    r->LoadDocuments();
    return r;
}

// The ID attributes the document holds, as the look-ups' keys (a few only).
QStringList Ids(const GlobalResources& r, SharedDocument which)
{
    QStringList ids;
    const XMLElement root = r.Document(which).GetDocumentElement();
    if (root.IsNull())
        return ids;
    std::vector<XMLNode> nodes;
    root.SelectNodes(u"//*[@ID]", nodes);
    for (const XMLNode& n : nodes) {
        const QString id = XMLElement(n).GetAttribute(u"ID");
        if (!ids.contains(id))
            ids << id;
        if (ids.size() >= 8)
            break;
    }
    ids << QStringLiteral("0") << QStringLiteral("it's \"odd\"");
    return ids;
}

template <class Map>
QString Join(bool found, const Map& map)
{
    QString s = found ? QStringLiteral("+") : QStringLiteral("-");
    for (const auto& [k, v] : map)
        s += QStringLiteral("[%1=%2]").arg(k).arg(v);
    return s;
}

// Every look-up of the document for every key, as one text.
QString View(GlobalResources& r, SharedDocument which, const QStringList& ids)
{
    QString view;
    for (const QString& id : ids) {
        const int n = id.toInt();
        switch (which) {
        case SharedDocument::Tooltips:
            view += r.GetTooltipText(unsigned(n)) + u'|';
            for (int kind = OBJECT_PRESET; kind <= OBJECT_RIFF; ++kind)
                for (const QString& other : ids)
                    view += r.GetObjectTooltip(ObjectKind(kind), n, other.toInt()) + u'|';
            break;
        case SharedDocument::Keymaps: {
            for (const QString& other : ids) {
                std::vector<KeyRange> keys;
                view += r.GetKeyMap(n, other.toInt(), keys) ? u'+' : u'-';
                for (const KeyRange& k : keys)
                    view += QStringLiteral("%1-%2 %3;").arg(k.low).arg(k.high).arg(k.text);
            }
            break;
        }
        case SharedDocument::Mappings:
            for (const QString& kind : ids) {
                std::map<QString, QString> map;
                view += Join(r.GetObjectMappings(id, kind, map), map);
                for (const QString& simm : ids) {
                    map.clear();
                    view += Join(r.GetSimmMappings(id, kind, simm.toInt(), map), map);
                    QString name;
                    view += r.GetMappedObjectName(id, kind, simm.toInt(), 0, name) ? name : QStringLiteral("-");
                }
            }
            {
                std::map<QString, QString> map;
                view += Join(r.GetControllerNames(id, map), map);
            }
            break;
        case SharedDocument::Names: {
            std::map<int, QString> map;
            view += Join(r.GetFunctionNames(id, map), map);
            break;
        }
        }
        view += u'\n';
    }
    return view;
}

// Stores texts through the document's setters and checks they read back.
void Store(GlobalResources& r, SharedDocument which, const QStringList& ids, const QByteArray& file)
{
    int t = 0;
    for (const QString& id : ids.mid(0, 3)) {
        const QString& text = kTexts[t++ % std::size(kTexts)];
        const int n = id.toInt();
        switch (which) {
        case SharedDocument::Tooltips: {
            r.SetTooltipText(unsigned(n), text);
            r.SetObjectTooltip(OBJECT_PRESET, n, 1, text);
            QString shown = text;
            shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
            shown.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
            if (!r.Document(which).GetDocumentElement().IsNull())
                FUZZ_CHECK(r.GetObjectTooltip(OBJECT_PRESET, n, 1) == shown);
            break;
        }
        case SharedDocument::Keymaps:
            r.ValidateKeymaps();
            break;
        case SharedDocument::Mappings: {
            const QString before = r.GetMappingsXML();
            if (r.SetMappingsXML(QString::fromUtf8(file)))
                FUZZ_CHECK(!r.GetMappingsXML().isEmpty());
            else
                FUZZ_CHECK(r.GetMappingsXML() == before);
            break;
        }
        case SharedDocument::Names: {
            if (!r.SetFunctionName(id, n, text))
                break;
            std::map<int, QString> names;
            if (r.GetFunctionNames(id, names)) {
                QString stored = text;
                stored.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
                FUZZ_CHECK(names.count(n) && names[n] == stored);
            }
            break;
        }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    fuzz::Init();
    const auto which = SharedDocument(data[0] % 4);
    const QByteArray file = fuzz::Bytes(data + 1, size - 1);
    const QString folder = fuzz::ScratchFolder();
    QDir().mkpath(folder + QStringLiteral("/Tabrine"));
    {
        QFile f(folder + QStringLiteral("/Tabrine/") + QString::fromLatin1(kFiles[int(which)]));
        FUZZ_CHECK(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
    }
    // Long tooltips are the user's texts; short ones come from the string table.
    GetGlobalConfigurations().SetDword(EnableTooltips, 2);

    std::unique_ptr<GlobalResources> r = Open(folder);
    // A file the program refuses to read is kept as it is, whatever this run
    // stores: the user is told and can mend it by hand.
    const bool refused = fuzz::TakeMessageCount() > 0;
    const QString path = folder + QStringLiteral("/Tabrine/") + QString::fromLatin1(kFiles[int(which)]);
    const QStringList ids = Ids(*r, which);
    View(*r, which, ids);
    Store(*r, which, ids, file);
    const QString stored = View(*r, which, ids);
    r->SaveDocuments();
    if (refused) {
        QFile f(path);
        FUZZ_CHECK(f.open(QIODevice::ReadOnly) && f.readAll() == file);
        fuzz::TakeMessageCount();
        return 0;
    }
    r = Open(folder);
    const QString reloaded = View(*r, which, ids);
    if (reloaded != stored)
        std::fprintf(stderr, "Before the save:\n%s\nAfter:\n%s\n", qPrintable(stored), qPrintable(reloaded));
    FUZZ_CHECK(reloaded == stored);
    r->SaveDocuments();
    fuzz::TakeMessageCount();
    return 0;
}
