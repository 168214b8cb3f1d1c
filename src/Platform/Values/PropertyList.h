#pragma once

#include "Platform/Values/Object.h"

#include <QByteArray>

namespace platform {

// Property lists (XML and binary) read into values through libplist.
class PropertyList
{
public:
    // The top-level value, or an empty pointer when the bytes are not a property list.
    static ObjectPtr parse(const QByteArray &bytes);
    // Reads a property-list file; a missing or unreadable file gives an empty pointer, and so does anything
    // but a regular file of at most MaxFileSize bytes: a FIFO or device in its place is never opened.
    static ObjectPtr readFile(const QString &path);
    static constexpr qint64 MaxFileSize = 8 * 1024 * 1024;
};

} // namespace platform
