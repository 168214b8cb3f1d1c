#include "Service/NetworkUtils.h"

#include "Common/JSONText.h"
#include "Common/SafeValue.h"
#include "Service/NetBaseRequest.h"
#include "Service/NetJSONType.h"
#include "Service/NetworkAgent.h"

#include <QStringDecoder>
#include <QStringList>

using namespace platform;

namespace {

// "Of the kind the template names": a kind marker tests the value; a container template asks for a
// container of the same kind.
using SafeValue::Kind;

// "Of the kind the template names": a kind marker tests the value; a container template asks for a
// container of the same kind.
bool isOfKind(const QVariant &value, const QVariant &kind)
{
    if (kind.metaType() == QMetaType::fromType<NetJSONType>())
        return kind.value<NetJSONType>().matches(value);
    const Kind templateKind = SafeValue::kindOf(kind);
    return (templateKind == Kind::Dictionary || templateKind == Kind::Array) &&
           SafeValue::kindOf(value) == templateKind;
}

bool validate(const QVariant &json, const QVariant &validator, int depth)
{
    // Answers nest only so deep; a deeper template or answer is refused rather than followed.
    if (depth > 256)
        return false;
    const Kind kind = SafeValue::kindOf(json);
    const Kind templateKind = SafeValue::kindOf(validator);
    if (kind == Kind::Dictionary && templateKind == Kind::Dictionary) {
        const QVariantMap dictionary = json.toMap();
        const QVariantMap dictionaryTemplate = validator.toMap();
        for (auto it = dictionaryTemplate.cbegin(); it != dictionaryTemplate.cend(); ++it) {
            const QVariant value = dictionary.value(it.key());
            const Kind valueKind = SafeValue::kindOf(value);
            if (valueKind == Kind::Dictionary || valueKind == Kind::Array) {
                if (!validate(value, it.value(), depth + 1))
                    return false;
            } else if (!isOfKind(value, it.value()) && valueKind != Kind::Null) {
                return false;
            }
        }
        return true;
    }
    if (kind == Kind::Array && templateKind == Kind::Array) {
        const QVariantList arrayTemplate = validator.toList();
        if (arrayTemplate.isEmpty())
            return true;
        const QVariant &format = arrayTemplate.first();
        const QVariantList array = json.toList();
        for (const QVariant &item : array)
            if (!validate(item, format, depth + 1))
                return false;
        return true;
    }
    return isOfKind(json, validator);
}

} // namespace

bool NetworkUtils::validateJSON(const QVariant &json, const QVariant &validator)
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

std::optional<QVariant> NetworkUtils::decodeJSON(const QByteArray &contentType, const QByteArray &body,
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
    std::optional<QVariant> value = JSONText::parse(body, 0, &reason);
    if (!value)
        *error =
            Error{NetworkAgent::SerializationErrorDomain, NetworkAgent::CorruptData,
                  QStringLiteral("The data couldn’t be read because it isn’t in the correct format. (%1)")
                      .arg(reason)};
    return value;
}
