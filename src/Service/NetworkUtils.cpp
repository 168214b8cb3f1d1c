#include "Service/NetworkUtils.h"

#include "Platform/Values/Array.h"
#include "Platform/Values/Dictionary.h"
#include "Platform/Values/JSONSerialization.h"
#include "Platform/Values/Null.h"
#include "Service/NetBaseRequest.h"
#include "Service/NetJSONType.h"
#include "Service/NetworkAgent.h"

#include <QStringDecoder>
#include <QStringList>

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
    QString charset;
    parseContentType(request.responseHeader("Content-Type"), nullptr, &charset);
    // Qt decodes the Unicode forms and Latin-1 itself and every other IANA charset through ICU.
    const QStringDecoder decoder(charset.toLatin1().constData());
    return charset.isEmpty() || !decoder.isValid() ? QStringLiteral("UTF-8")
                                                   : QString::fromLatin1(decoder.name());
}

void NetworkUtils::parseContentType(const QByteArray &value, QString *mimeType, QString *charset)
{
    const QStringList parts = QString::fromLatin1(value).split(QLatin1Char(';'));
    if (mimeType)
        *mimeType = parts.value(0).trimmed().toLower();
    if (!charset)
        return;
    charset->clear();
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString parameter = parts.at(i).trimmed();
        const qsizetype equals = parameter.indexOf(QLatin1Char('='));
        if (equals < 0 ||
            parameter.left(equals).trimmed().compare(QLatin1String("charset"), Qt::CaseInsensitive) != 0)
            continue;
        QString label = parameter.mid(equals + 1).trimmed();
        if (label.size() >= 2 && label.startsWith(QLatin1Char('"')) && label.endsWith(QLatin1Char('"')))
            label = label.mid(1, label.size() - 2);
        *charset = label;
        return;
    }
}

ObjectPtr NetworkUtils::decodeJSON(const QByteArray &contentType, const QByteArray &body,
                                   std::optional<Error> *error)
{
    static const QStringList accepted = {QStringLiteral("application/json"), QStringLiteral("text/json"),
                                         QStringLiteral("text/javascript")};
    QString mimeType;
    parseContentType(contentType, &mimeType, nullptr);
    if (!body.isEmpty() && !accepted.contains(mimeType)) {
        *error = Error{NetworkAgent::SerializationErrorDomain, NetworkAgent::CannotDecodeContentData,
                       QStringLiteral("Request failed: unacceptable content-type: %1")
                           .arg(mimeType.isEmpty() ? QStringLiteral("(null)") : mimeType)};
        return {};
    }
    // Servers answer "nothing" with an empty body or a lone space.
    if (body.isEmpty() || body == " ")
        return {};
    QString reason;
    ObjectPtr value = JSONSerialization::parse(body, 0, &reason);
    if (!value)
        *error =
            Error{NetworkAgent::SerializationErrorDomain, NetworkAgent::CorruptData,
                  QStringLiteral("The data couldn’t be read because it isn’t in the correct format. (%1)")
                      .arg(reason)};
    return value;
}
