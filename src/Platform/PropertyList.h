#pragma once

#include "Platform/Object.h"

#include <QByteArray>

namespace platform {

// Property lists (XML and binary) read into values through libplist.
class PropertyList
{
public:
    // The top-level value, or an empty pointer when the bytes are not a property list.
    static ObjectPtr parse(const QByteArray &bytes);
    // Reads a property-list file; a missing or unreadable file gives an empty pointer.
    static ObjectPtr readFile(const QString &path);
};

} // namespace platform
