// Parameter records as XML elements named by the parameter, in two forms:
// the range form of the configuration cache and the value form of the
// preset documents.
#include "core/Logger.h"
#include "core/XMLDocument.h"
#include "dump/ConfigurationCache.h"
#include "dump/ParameterElements.h"
#include "module/StackedProgress.h"

#include <map>
#include <vector>

namespace {

/// A number attribute as the documents write it: decimal, then cut to 16
/// bits. False when the attribute is missing or holds anything else.
bool ReadNumber(const XMLElement& element, const char16_t* name, int& out)
{
    bool ok = false;
    const int value = element.GetAttribute(QStringView(name)).trimmed().toInt(&ok);
    if (ok)
        out = cachedoc::Low16(value);
    return ok;
}

/// The children of parent by element name; of two with one name, the first.
std::map<QString, XMLElement> ChildrenByName(const XMLElement& parent)
{
    std::map<QString, XMLElement> byName;
    std::vector<XMLNode> children;
    parent.GetChildNodes(children);
    for (const XMLNode& child : children)
        byName.emplace(child.GetNodeName(), XMLElement(child));
    return byName;
}

} // namespace

bool ParameterElements::WriteParameterElements(const ParameterCache& records, XMLElement& parent, bool minMax)
{
    XMLDocument document = parent.GetOwnerDocument();
    if (document.IsNull())
        return false;
    for (const auto& [id, record] : records) {
        XMLElement element = document.CreateElement(record.name);
        if (element.IsNull() || !parent.AppendChild(element)) {
            TLOG(kLogError, u"Parameter %d has no name an XML element can carry (\"%s\")", id, record.name);
            return false;
        }
        if (minMax) {
            element.SetAttribute(cachedoc::kMinValue, cachedoc::Low16(record.minimum));
            element.SetAttribute(cachedoc::kMaxValue, cachedoc::Low16(record.maximum));
            element.SetAttribute(cachedoc::kDefault, cachedoc::Low16(record.defaultValue));
            element.SetAttribute(cachedoc::kReadOnly, record.readOnly ? 1 : 0);
            continue;
        }
        element.SetAttribute(cachedoc::kValue, cachedoc::Low16(record.value));
        QString partner;
        if (ModuleLink::GetRomIdParameter(&record, &partner) != -1)
            element.SetAttribute(cachedoc::kSimmId, cachedoc::Low16(record.romId));
    }
    return true;
}

bool ParameterElements::ReadParameterElements(StackedProgress& progress, const ParameterEditor& editor, ParameterCache& records,
                                    const XMLElement& parent, bool minMax)
{
    const std::map<QString, XMLElement> byName = ChildrenByName(parent);
    for (auto& [id, record] : records) {
        const auto found = byName.find(record.name);
        if (minMax) {
            int minimum = 0;
            int maximum = 0;
            int defaultValue = 0;
            int readOnly = 0;
            const bool complete = found != byName.end() && ReadNumber(found->second, cachedoc::kMinValue, minimum)
                                  && ReadNumber(found->second, cachedoc::kMaxValue, maximum)
                                  && ReadNumber(found->second, cachedoc::kDefault, defaultValue)
                                  && ReadNumber(found->second, cachedoc::kReadOnly, readOnly);
            if (complete) {
                record.minimum = minimum;
                record.maximum = maximum;
                record.defaultValue = defaultValue;
                record.readOnly = readOnly != 0;
                // The file holds only ranges the module answered: the range
                // requests need not ask for this one again.
                if (&record == m_data.AllParameters.Find(id))
                    m_link.SetRangeKnown(id, true);
            } else {
                if (found != byName.end())
                    TLOG(kLogError, u"The %s element of the configuration cache lacks part of its range; asking the module",
                         record.name);
                m_link.ParameterRequestWithMinMaxNoCache(&record);
            }
            progress.Step();
            continue;
        }

        int value = 0;
        if (found != byName.end() && !ReadNumber(found->second, cachedoc::kValue, value)) {
            TLOG(kLogError, u"The %s element has no value; the parameter is left as it is", record.name);
        } else if (found != byName.end()) {
            // What the record held: an edit the module refuses (or a send
            // that fails) must leave it so.
            const ParamRecord held = record;
            record.previousValue = record.value;
            record.value = value;
            QString partnerName;
            const bool hasPartner = ModuleLink::GetRomIdParameter(&record, &partnerName) != -1;
            int romId = 0;
            if (hasPartner && ReadNumber(found->second, cachedoc::kSimmId, romId)) {
                record.previousRomId = record.romId;
                record.romId = romId;
            }
            if (editor) {
                // Only what differs from the module is sent. For a value that
                // names a ROM object the ROM counts too: preset 5 of another
                // ROM is another preset.
                ParamRecord module = record;
                const bool asked = m_link.ParameterRequest(&module);
                if ((!asked || module.value != record.value || (hasPartner && module.romId != record.romId))
                    && !editor(&record)) {
                    // Refused: back to what it held, showing the module's
                    // own value where that could be read.
                    record.CopyValues(held);
                    if (asked && module.value != record.value) {
                        record.previousValue = record.value;
                        record.value = module.value;
                    }
                    if (asked && hasPartner && module.romId != record.romId) {
                        record.previousRomId = record.romId;
                        record.romId = module.romId;
                    }
                }
            }
        }
        progress.Step();
    }
    return true;
}
