#include "Service/NetworkUtils.h"

#include "Platform/Text/TextEncoding.h"
#include "Platform/Values/Array.h"
#include "Platform/Values/Dictionary.h"
#include "Platform/Values/Null.h"
#include "Service/NetBaseRequest.h"
#include "Service/NetJSONType.h"

using namespace platform;

namespace {

// "Of the kind the template names": a kind marker tests the value; a container template asks for a
// container of the same kind.
bool isOfKind(const ObjectPtr &value, const ObjectPtr &kind)
{
    if (auto type = as<NetJSONType>(kind))
        return type->matches(value);
    if (is<Dictionary>(kind))
        return is<Dictionary>(value);
    if (is<Array>(kind))
        return is<Array>(value);
    return false;
}

bool validate(const ObjectPtr &json, const ObjectPtr &validator, int depth)
{
    // Answers nest only so deep; a deeper template or answer is refused rather than followed.
    if (depth > 256)
        return false;
    auto dictionary = as<Dictionary>(json);
    auto dictionaryTemplate = as<Dictionary>(validator);
    if (dictionary && dictionaryTemplate) {
        for (const auto &[key, format] : dictionaryTemplate->entries()) {
            const ObjectPtr value = dictionary->value(key);
            if (is<Dictionary>(value) || is<Array>(value)) {
                if (!validate(value, format, depth + 1))
                    return false;
            } else if (!isOfKind(value, format) && !is<Null>(value)) {
                return false;
            }
        }
        return true;
    }
    auto array = as<Array>(json);
    auto arrayTemplate = as<Array>(validator);
    if (array && arrayTemplate) {
        if (arrayTemplate->isEmpty())
            return true;
        const ObjectPtr &format = arrayTemplate->at(0);
        for (const ObjectPtr &item : array->items())
            if (!validate(item, format, depth + 1))
                return false;
        return true;
    }
    return isOfKind(json, validator);
}

} // namespace

bool NetworkUtils::validateJSON(const ObjectPtr &json, const ObjectPtr &validator)
{
    return validate(json, validator, 0);
}

QString NetworkUtils::stringEncodingWithRequest(const NetBaseRequest &request)
{
    const HTTPURLResponsePtr response = request.response();
    if (response && !response->textEncodingName().isEmpty()) {
        const QString name = TextEncoding::canonicalName(response->textEncodingName());
        if (!name.isEmpty())
            return name;
    }
    return QStringLiteral("UTF-8");
}
