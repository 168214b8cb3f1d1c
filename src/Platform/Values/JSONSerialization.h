#pragma once

#include "Platform/Values/Object.h"

#include <QByteArray>
#include <cstdint>

namespace platform {

// JSON text to values and back, on Qt's JSON reader and writer.
class JSONSerialization
{
public:
    // Reading options, with the platform's bit values.
    enum ReadingOption : uint64_t
    {
        MutableContainers = 1,
        MutableLeaves = 2,
        FragmentsAllowed = 4
    };

    // The decoded value, or an empty pointer (and the reason in errorText) when the bytes are not JSON.
    // Without FragmentsAllowed the top level must be an array or an object.
    static ObjectPtr parse(const QByteArray &bytes, uint64_t options = 0, QString *errorText = nullptr);

    // Top level an array or a dictionary; keys text; leaves text, finite numbers or the null marker.
    static bool isValidJSONObject(const ObjectPtr &value);

    // UTF-8 JSON text, pretty-printed when asked; an empty array (and ok false) when the value cannot be
    // written.
    static QByteArray write(const ObjectPtr &value, bool prettyPrinted, bool *ok = nullptr);
};

} // namespace platform
