#pragma once

#include "Platform/Values/String.h"

#include <QByteArray>
#include <cstdint>

// JSON text and bytes to values and back; decoding errors are dropped and read as nothing.
namespace JSONText {

// Pretty-printed JSON, or nothing when the value is not a valid JSON object.
platform::StringPtr stringWithJSONObject(const platform::ObjectPtr &value);
// Decodes with mutable containers; nothing for text that is not JSON (or for nothing).
platform::ObjectPtr objectWithJSONString(const platform::StringPtr &string);
platform::ObjectPtr objectWithJSONString(const QString &string);
platform::ObjectPtr objectWithJSONData(const QByteArray &data);
// Options use the platform's bits: 1 mutable containers, 2 mutable leaves, 4 fragments allowed.
platform::ObjectPtr objectWithJSONData(const QByteArray &data, uint64_t options);

} // namespace JSONText
