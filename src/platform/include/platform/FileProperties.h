#pragma once
// Document summary properties kept with a file but outside its content (the
// title and comment a file manager shows). On Linux they are user extended
// attributes, named after the freedesktop.org conventions so that file
// managers and tools such as getfattr show them:
//
//     Title     user.dublincore.title
//     Subject   user.dublincore.subject
//     Author    user.dublincore.creator
//     Keywords  user.xdg.tags
//     Comments  user.xdg.comment
//     AppName   user.xdg.creator        (the application that wrote the file)
//
// Values are UTF-8 without a terminating null. These six names are the set
// the program owns: writing replaces the whole set, any other attribute of
// the file is left alone. A file system without user extended attributes
// (some network and FAT mounts) reports Unsupported; callers treat that as
// "no properties", never as an error.

#include <QString>

#include <map>
#include <memory>
#include <optional>

namespace platform {

/// The summary properties, numbered by their property ids in the summary
/// information property set (title 2, subject 3, author 4, keywords 5, comments 6,
/// application name 18).
enum class SummaryProperty : int {
    Title = 2,
    Subject = 3,
    Author = 4,
    Keywords = 5,
    Comments = 6,
    AppName = 18,
};

using SummaryProperties = std::map<SummaryProperty, QString>;

/// What a property operation came to, with the system's reason on failure.
struct FilePropertiesResult {
    enum Status {
        Ok,          ///< done (a read may still have found nothing)
        Unsupported, ///< the file system keeps no such properties
        Failed,      ///< the file is missing, not accessible, or the store is full
    };
    Status status = Ok;
    int error = 0;       ///< errno of the failure, 0 when none
    QString description; ///< the system's text for error, empty when Ok

    explicit operator bool() const { return status == Ok; }
};

class FilePropertyStore {
public:
    virtual ~FilePropertyStore() = default;
    /// Stores the given properties on the file at path and removes every other
    /// property of the owned set, so the file ends with exactly these.
    virtual FilePropertiesResult Write(const QString& path, const SummaryProperties& properties) = 0;
    /// Fills properties with those of the owned set the file holds (an empty
    /// value counts as held); properties the file lacks are not touched.
    virtual FilePropertiesResult Read(const QString& path, SummaryProperties& properties) = 0;
};

/// The extended-attribute store of the host file systems.
std::shared_ptr<FilePropertyStore> MakeExtendedAttributeStore();

/// The attribute name a property is stored under (see the table above).
QString ExtendedAttributeName(SummaryProperty property);

/// The store the program uses; the extended-attribute store unless replaced.
std::shared_ptr<FilePropertyStore> CurrentFilePropertyStore();
/// Replaces the current store (tests install doubles); null restores the default.
void SetCurrentFilePropertyStore(std::shared_ptr<FilePropertyStore> store);

/// The full name of the user running the program, written as a file's author:
/// the first comma-separated part of the account's GECOS field (empty when the
/// field is). Nothing when the account cannot be looked up.
std::optional<QString> RegisteredOwner();
/// The full-name part of a GECOS field: the text before the first comma.
QString FullNameFromGecos(const char* gecos);

} // namespace platform
