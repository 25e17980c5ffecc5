#include "dump/OleProps.h"

#include "core/Logger.h"
#include "core/MessageBox.h"
#include "platform/FileProperties.h"

using platform::SummaryProperty;

bool OleProps::WriteTo(const QString& path, platform::FilePropertyStore* store) const
{
    platform::SummaryProperties properties{
        {SummaryProperty::Comments, comments},
        {SummaryProperty::Title, title},
        {SummaryProperty::AppName, QString::fromUtf16(kProductName)},
    };
    if (const auto owner = platform::RegisteredOwner())
        properties[SummaryProperty::Author] = *owner;

    // The properties are a courtesy to the file manager and to the next load;
    // the content is already safe on disk, so a file system without them (or
    // a failure to set them) must not fail the save.
    const auto current = store ? nullptr : platform::CurrentFilePropertyStore();
    const auto result = (store ? store : current.get())->Write(path, properties);
    if (result.status == platform::FilePropertiesResult::Failed)
        TLOG(kLogNotice, u"Could not store the properties of %s: %s", path, result.description);
    else if (result.status == platform::FilePropertiesResult::Unsupported)
        TLOG(kLogPortDetail, u"No file properties on the file system of %s", path);
    return true;
}

bool OleProps::ReadFrom(const QString& path, platform::FilePropertyStore* store)
{
    platform::SummaryProperties found;
    const auto current = store ? nullptr : platform::CurrentFilePropertyStore();
    const auto result = (store ? store : current.get())->Read(path, found);
    if (!result) {
        TLOG(kLogPortDetail, u"No file properties read from %s: %s", path, result.description);
        return true;
    }
    // No property of the set at all is a file that never had properties
    // written (the summary information property set would be missing): keep the record.
    if (found.empty())
        return true;
    const auto text = [&found](SummaryProperty property) {
        const auto it = found.find(property);
        return it == found.end() ? QString() : it->second.trimmed();
    };
    comments = text(SummaryProperty::Comments);
    title = text(SummaryProperty::Title);
    return true;
}
