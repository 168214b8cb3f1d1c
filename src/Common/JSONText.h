#pragma once

#include <QByteArray>
#include <QVariant>
#include <cstdint>
#include <optional>

// JSON text and bytes to Qt values and back. Decoding keeps integers that fit in 64 bits as qint64 and
// JSON null as a variant of std::nullptr_t (the null marker); errors are dropped and read as nothing.
namespace JSONText {

// Reading options, with the platform's bit values.
enum ReadingOption : uint64_t
{
    MutableContainers = 1,
    MutableLeaves = 2,
    FragmentsAllowed = 4
};

// Pretty-printed JSON, or nothing when the value is not a valid JSON object.
std::optional<QString> stringWithJSONObject(const QVariant &value);
// Decodes with mutable containers; nothing for text that is not JSON (or for nothing).
std::optional<QVariant> objectWithJSONString(const std::optional<QString> &string);
std::optional<QVariant> objectWithJSONData(const QByteArray &data, uint64_t options = MutableContainers);

// The decoded value, or nothing (and the reason in errorText) when the bytes are not JSON. Without
// FragmentsAllowed the top level must be an array or an object.
std::optional<QVariant> parse(const QByteArray &bytes, uint64_t options, QString *errorText = nullptr);
// Top level an array or a dictionary; leaves text, finite numbers or the null marker.
bool isValidJSONObject(const QVariant &value);
// UTF-8 JSON text, pretty-printed when asked; nothing when a value in it cannot be written (NaN or an
// infinity, bytes, a date, …).
std::optional<QByteArray> write(const QVariant &value, bool prettyPrinted);

} // namespace JSONText
