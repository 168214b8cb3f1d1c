#pragma once

#include <QByteArray>
#include <QVariant>
#include <optional>

namespace platform {

// Property lists (XML and binary) read through libplist into Qt values: dictionaries as QVariantMap,
// arrays as QVariantList, text as QString, integers as qint64 (a UID as quint64), reals as double, booleans
// as bool, data as QByteArray and dates as QDateTime in UTC.
class PropertyList
{
public:
    // The top-level value, or nothing when the bytes are not a property list.
    static std::optional<QVariant> parse(const QByteArray &bytes);
    // Reads a property-list file; a missing or unreadable file gives nothing, and so does anything but a
    // regular file of at most MaxFileSize bytes: a FIFO or device in its place is never opened.
    static std::optional<QVariant> readFile(const QString &path);
    // The top-level dictionary of the file, empty when it is missing, unreadable or not a dictionary.
    static QVariantMap readDictionary(const QString &path);
    static constexpr qint64 MaxFileSize = 8 * 1024 * 1024;
};

} // namespace platform
