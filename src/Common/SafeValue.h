#pragma once

#include "Platform/Values/Array.h"
#include "Platform/Values/Date.h"
#include "Platform/Values/DecimalNumber.h"
#include "Platform/Values/Dictionary.h"
#include "Platform/Values/Number.h"
#include "Platform/Values/String.h"

#include <cstdint>

// Tolerant conversions of one value found in a container (or of nothing) to a wanted kind. The dictionary
// and array readers are these conversions applied to the value under a key or at an index.
namespace SafeValue {

platform::StringPtr string(const platform::ObjectPtr &value);
platform::NumberPtr number(const platform::ObjectPtr &value);
platform::DecimalNumberPtr decimalNumber(const platform::ObjectPtr &value);
platform::ArrayPtr array(const platform::ObjectPtr &value);
platform::DictionaryPtr dictionary(const platform::ObjectPtr &value);
platform::DatePtr date(const platform::ObjectPtr &value, const QString &pattern);

int64_t int64Value(const platform::ObjectPtr &value);
int32_t int32Value(const platform::ObjectPtr &value);
int16_t int16Value(const platform::ObjectPtr &value);
int8_t charValue(const platform::ObjectPtr &value);
uint64_t uint64Value(const platform::ObjectPtr &value);
bool boolValue(const platform::ObjectPtr &value);
float floatValue(const platform::ObjectPtr &value);
double doubleValue(const platform::ObjectPtr &value);
// The double conversion without a kind test: text and numbers convert, anything else is 0.0.
double cgFloatValue(const platform::ObjectPtr &value);

} // namespace SafeValue
