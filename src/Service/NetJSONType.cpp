#include "Service/NetJSONType.h"

#include "Common/SafeValue.h"

bool NetJSONType::matches(const QVariant &value) const
{
    const SafeValue::Kind kind = SafeValue::kindOf(value);
    switch (m_kind) {
    case Kind::String:
        return kind == SafeValue::Kind::String;
    case Kind::Number:
        return kind == SafeValue::Kind::Number;
    case Kind::Array:
        return kind == SafeValue::Kind::Array;
    case Kind::Dictionary:
        return kind == SafeValue::Kind::Dictionary;
    case Kind::Null:
        return kind == SafeValue::Kind::Null;
    case Kind::Any:
        return kind != SafeValue::Kind::Absent;
    }
    return false;
}
