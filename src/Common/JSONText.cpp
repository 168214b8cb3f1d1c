#include "Common/JSONText.h"

#include "Platform/Values/JSONSerialization.h"

using namespace platform;

namespace JSONText {

StringPtr stringWithJSONObject(const ObjectPtr &value)
{
    if (!JSONSerialization::isValidJSONObject(value))
        return {};
    bool ok = false;
    const QByteArray bytes = JSONSerialization::write(value, true, &ok);
    return ok ? String::make(QString::fromUtf8(bytes)) : StringPtr();
}

ObjectPtr objectWithJSONString(const StringPtr &string)
{
    return string ? objectWithJSONString(string->value()) : ObjectPtr();
}

ObjectPtr objectWithJSONString(const QString &string)
{
    if (string.isNull())
        return {};
    return objectWithJSONData(string.toUtf8(), JSONSerialization::MutableContainers);
}

ObjectPtr objectWithJSONData(const QByteArray &data)
{
    return objectWithJSONData(data, JSONSerialization::MutableContainers);
}

ObjectPtr objectWithJSONData(const QByteArray &data, uint64_t options)
{
    return JSONSerialization::parse(data, options);
}

} // namespace JSONText
