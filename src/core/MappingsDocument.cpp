// The Mappings document: per configuration, the user's better names for the
// module's objects and controllers.
#include "core/GlobalResources.h"

#include "core/LineEnds.h"

namespace {

// Adds each selected element's ID and text unless the ID is already there.
// Texts come with the line ends a save and reload would leave them with.
void AddPairs(const XMLElement& parent, QStringView query, std::map<QString, QString>& out, bool* listed = nullptr)
{
    std::vector<XMLNode> nodes;
    const bool ok = parent.SelectNodes(query, nodes);
    if (listed)
        *listed = ok;
    for (const XMLElement e : nodes)
        out.emplace(e.GetAttribute(u"ID"), WithStoredLineEnds(e.GetText()));
}

} // namespace

bool GlobalResources::GetObjectMappings(const QString& device, const QString& objectKind, std::map<QString, QString>& out)
{
    if (Document(SharedDocument::Mappings).IsNull())
        return true;
    XMLElement root = RootOf(SharedDocument::Mappings);
    if (root.IsNull())
        return true;
    XMLElement dev = root.SelectSingleNode(u"./DEVICE[@ID='%s']", {device});
    if (dev.IsNull())
        return true;
    XMLElement object = dev.SelectSingleNode(u"./OBJECT[@ID='%s']", {objectKind});
    if (object.IsNull())
        return true;
    AddPairs(object, u"./MAPPING", out);
    return true;
}

XMLElement GlobalResources::FindMappedSimm(const QString& device, const QString& objectKind, int simmId)
{
    if (Document(SharedDocument::Mappings).IsNull())
        return XMLElement();
    XMLElement root = RootOf(SharedDocument::Mappings);
    if (root.IsNull())
        return XMLElement();
    XMLElement dev = root.SelectSingleNode(u"./DEVICE[@ID='%s']", {device});
    if (dev.IsNull())
        return XMLElement();
    XMLElement object = dev.SelectSingleNode(u"./OBJECT[@ID='%s']", {objectKind});
    if (object.IsNull())
        return XMLElement();
    return object.SelectSingleNode(u"./SIMM[@ID='%d']", {simmId});
}

bool GlobalResources::GetSimmMappings(const QString& device, const QString& objectKind, int simmId,
                                      std::map<QString, QString>& out)
{
    XMLElement simm = FindMappedSimm(device, objectKind, simmId);
    if (simm.IsNull())
        return true;
    XMLElement mappings = simm.SelectSingleNode(u"MAPPINGS");
    if (mappings.IsNull())
        return true;
    AddPairs(mappings, u"./MAPPING", out);
    return true;
}

bool GlobalResources::GetMappedObjectName(const QString& device, const QString& objectKind, int simmId, int index,
                                          QString& out)
{
    XMLElement simm = FindMappedSimm(device, objectKind, simmId);
    if (simm.IsNull())
        return false;
    XMLElement names = simm.SelectSingleNode(u"NAMES");
    if (names.IsNull())
        return false;
    XMLElement name = names.SelectSingleNode(u"./NAME[@ID='%d']", {index});
    if (name.IsNull())
        return false;
    out = WithStoredLineEnds(name.GetText());
    return true;
}

bool GlobalResources::GetControllerNames(const QString& device, std::map<QString, QString>& out)
{
    if (Document(SharedDocument::Mappings).IsNull())
        return false;
    XMLElement root = RootOf(SharedDocument::Mappings);
    if (root.IsNull())
        return false;
    XMLElement dev = root.SelectSingleNode(u"./DEVICE[@ID='%s']", {device});
    if (dev.IsNull())
        return false;
    XMLElement controllers = dev.SelectSingleNode(u"./CONTROLLERS");
    if (controllers.IsNull())
        return false;
    bool listed = false;
    AddPairs(controllers, u"CONTROLLER", out, &listed);
    return listed;
}
