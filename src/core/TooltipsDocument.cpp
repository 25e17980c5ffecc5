// The Tooltips document: the user's long tooltips for controls and notes on
// module objects, kept as CDATA so line breaks and markup survive.
#include "core/GlobalResources.h"

#include "core/LineEnds.h"
#include "core/MessageBox.h"
#include "core/Settings.h"

#include <functional>

namespace {

/// EnableTooltips: long tooltips that the tooltip editor writes.
constexpr std::uint32_t kLongTooltips = 2;

// The element's first CDATA section with the sections right after it. A text
// holding "]]>" is written as two adjacent sections; they read as one text.
std::vector<XMLNode> FirstCDataRun(const XMLNode& element)
{
    std::vector<XMLNode> run;
    XMLNode child = element.GetFirstChild();
    while (!child.IsNull() && child.GetNodeType() != XMLNodeCDATASection)
        child = child.GetNextSibling();
    while (!child.IsNull() && child.GetNodeType() == XMLNodeCDATASection) {
        run.push_back(child);
        child = child.GetNextSibling();
    }
    return run;
}

QString CDataText(const std::vector<XMLNode>& run)
{
    QString text;
    for (const XMLNode& n : run)
        text += n.GetText();
    return text;
}

// Finds the element the query selects under parent, or builds it: created,
// given its ID by setId, appended. A failed step is reported and gives null.
XMLElement FindOrAppend(XMLDocument& doc, XMLElement& parent, QStringView query, std::initializer_list<FormatArg> args,
                        QStringView tag, const std::function<void(XMLElement&)>& setId, QStringView createFailure,
                        QStringView appendFailure)
{
    XMLElement found = parent.SelectSingleNode(query, args);
    if (!found.IsNull())
        return found;
    XMLElement created = doc.CreateElement(tag);
    if (created.IsNull()) {
        doc.ReportError(createFailure, -2);
        return XMLElement();
    }
    if (setId)
        setId(created);
    if (!parent.AppendChild(created)) {
        doc.ReportError(appendFailure, -2);
        return XMLElement();
    }
    return created;
}

// Replaces the element's first CDATA text; false after a reported failure.
bool ReplaceCData(XMLDocument& doc, XMLElement& element, const QString& text)
{
    for (XMLNode& old : FirstCDataRun(element))
        element.RemoveChild(old);
    XMLCDATASection cdata = doc.CreateCDATASection(WithStoredLineEnds(text));
    if (cdata.IsNull())
        return doc.ReportError(u"Failed to create tooltip text of TOOLTIPS document", -2);
    if (!element.AppendChild(cdata))
        return doc.ReportError(u"Failed to append tooltip text to TOOLTIPS document", -2);
    return true;
}

} // namespace

QString GlobalResources::GetTooltipText(unsigned tipId)
{
    const QString fallback = LoadResourceString(tipId);
    if (GetGlobalConfigurations().GetDword(EnableTooltips) != kLongTooltips || Document(SharedDocument::Tooltips).IsNull())
        return fallback;
    XMLElement root = RootOf(SharedDocument::Tooltips);
    if (root.IsNull())
        return fallback;
    XMLElement controls = root.SelectSingleNode(u"./Controls");
    if (controls.IsNull())
        return fallback;
    XMLElement control = controls.SelectSingleNode(u"./Control[@ID='%d']", {tipId});
    if (control.IsNull())
        return fallback;
    const std::vector<XMLNode> run = FirstCDataRun(control);
    return run.empty() ? fallback : WithShownLineEnds(CDataText(run));
}

void GlobalResources::SetTooltipText(unsigned tipId, const QString& text)
{
    Journal(SharedDocument::Tooltips, [this, tipId, text] { SetTooltipText(tipId, text); });
    XMLDocument& doc = Shared(SharedDocument::Tooltips).document;
    if (doc.IsNull() || GetTooltipText(tipId) == WithShownLineEnds(text))
        return;
    XMLElement root = RootOf(SharedDocument::Tooltips);
    if (root.IsNull())
        return;
    XMLElement controls = FindOrAppend(doc, root, u"./Controls", {}, u"Controls", nullptr,
                                       u"Failed to create controls element in TOOLTIPS document",
                                       u"Failed to append controls element to TOOLTIPS document");
    if (controls.IsNull())
        return;
    XMLElement control = FindOrAppend(
        doc, controls, u"./Control[@ID='%d']", {tipId}, u"Control",
        [&](XMLElement& e) { e.SetAttribute(u"ID", static_cast<int>(tipId)); },
        u"Failed to create control element in TOOLTIPS document", u"Failed to append control element to TOOLTIPS document");
    if (control.IsNull() || !ReplaceCData(doc, control, text))
        return;
    Shared(SharedDocument::Tooltips).changed = true;
}

QString GlobalResources::GetObjectTooltip(ObjectKind kind, int simmId, int objectId)
{
    if (Document(SharedDocument::Tooltips).IsNull())
        return QString();
    XMLElement root = RootOf(SharedDocument::Tooltips);
    if (root.IsNull())
        return QString();
    XMLElement simms = root.SelectSingleNode(u"./SIMMS");
    if (simms.IsNull())
        return QString();
    XMLElement simm = simms.SelectSingleNode(u"./SIMM[@ID='%d']", {simmId});
    if (simm.IsNull())
        return QString();
    XMLElement object = simm.SelectSingleNode(u"./Object[@ID='%s']", {ObjectKindName(kind)});
    if (object.IsNull())
        return QString();
    XMLElement tooltip = object.SelectSingleNode(u"./Tooltip[@ID='%d']", {objectId});
    if (tooltip.IsNull())
        return QString();
    return WithShownLineEnds(CDataText(FirstCDataRun(tooltip)));
}

void GlobalResources::SetObjectTooltip(ObjectKind kind, int simmId, int objectId, const QString& text)
{
    Journal(SharedDocument::Tooltips,
            [this, kind, simmId, objectId, text] { SetObjectTooltip(kind, simmId, objectId, text); });
    XMLDocument& doc = Shared(SharedDocument::Tooltips).document;
    if (doc.IsNull() || GetObjectTooltip(kind, simmId, objectId) == WithShownLineEnds(text))
        return;
    XMLElement root = RootOf(SharedDocument::Tooltips);
    if (root.IsNull())
        return;
    XMLElement simms = FindOrAppend(doc, root, u"./SIMMS", {}, u"SIMMS", nullptr,
                                    u"Failed to create SIMMS element of TOOLTIPS document",
                                    u"Failed to append SIMMS to TOOLTIPS document");
    if (simms.IsNull())
        return;
    XMLElement simm = FindOrAppend(
        doc, simms, u"./SIMM[@ID='%d']", {simmId}, u"SIMM", [&](XMLElement& e) { e.SetAttribute(u"ID", simmId); },
        u"Failed to create SIMM element of TOOLTIPS document", u"Failed to append SIMM to TOOLTIPS document");
    if (simm.IsNull())
        return;
    const QString kindName = ObjectKindName(kind);
    XMLElement object = FindOrAppend(
        doc, simm, u"./Object[@ID='%s']", {kindName}, u"Object", [&](XMLElement& e) { e.SetAttribute(u"ID", kindName); },
        u"Failed to create object element of TOOLTIPS document", u"Failed to append new object to TOOLTIPS document");
    if (object.IsNull())
        return;
    XMLElement tooltip = FindOrAppend(
        doc, object, u"./Tooltip[@ID='%d']", {objectId}, u"Tooltip",
        [&](XMLElement& e) { e.SetAttribute(u"ID", objectId); },
        u"Failed to create Tooltip element of TOOLTIPS document", u"Failed to append new tooltip to TOOLTIPS document");
    if (tooltip.IsNull() || !ReplaceCData(doc, tooltip, text))
        return;
    Shared(SharedDocument::Tooltips).changed = true;
}
