#include "Service/NetJSONType.h"

#include "Platform/Values/Array.h"
#include "Platform/Values/Dictionary.h"
#include "Platform/Values/Null.h"
#include "Platform/Values/Number.h"
#include "Platform/Values/String.h"

using namespace platform;

std::shared_ptr<NetJSONType> NetJSONType::make(Kind kind)
{
    return std::make_shared<NetJSONType>(kind);
}

bool NetJSONType::matches(const ObjectPtr &value) const
{
    if (!value)
        return false;
    switch (m_kind) {
    case Kind::String:
        return is<String>(value);
    case Kind::Number:
        return is<Number>(value);
    case Kind::Array:
        return is<Array>(value);
    case Kind::Dictionary:
        return is<Dictionary>(value);
    case Kind::Null:
        return is<Null>(value);
    case Kind::Any:
        return true;
    }
    return false;
}

QString NetJSONType::description() const
{
    switch (m_kind) {
    case Kind::String:
        return QStringLiteral("string");
    case Kind::Number:
        return QStringLiteral("number");
    case Kind::Array:
        return QStringLiteral("array");
    case Kind::Dictionary:
        return QStringLiteral("dictionary");
    case Kind::Null:
        return QStringLiteral("null");
    case Kind::Any:
        return QStringLiteral("any");
    }
    return {};
}

bool NetJSONType::isEqual(const Object &other) const
{
    auto *type = dynamic_cast<const NetJSONType *>(&other);
    return type && type->m_kind == m_kind;
}
