#pragma once
// The title and comment that travel with every file the program writes,
// stored beside the content as the file's summary properties (see
// platform/FileProperties.h for where they live). A backup restores an
// object's tooltip from the comment it finds here.

#include <QString>

namespace platform {
class FilePropertyStore;
}

class OleProps {
public:
    /// Both texts empty.
    OleProps() = default;
    virtual ~OleProps() = default;

    QString title;
    QString comments;

    /// Stores title, comments, the user's full name as author (left out when
    /// the account cannot be looked up) and "Tabrine" as application, replacing
    /// every summary property the file held before. A file system without
    /// properties is no error: always true (a failure is only logged).
    /// store: where the properties go (null: the process-wide store).
    bool WriteTo(const QString& path, platform::FilePropertyStore* store = nullptr) const;
    /// Fills title and comments, trimmed at both ends, from the file's
    /// properties; a file holding some properties but not these gives empty
    /// texts. A file with no properties at all, or one that cannot be read,
    /// leaves the record unchanged. Always true.
    bool ReadFrom(const QString& path, platform::FilePropertyStore* store = nullptr);
};
