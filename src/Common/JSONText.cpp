#include "Common/JSONText.h"

#include "Common/SafeValue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cmath>
#include <limits>

using SafeValue::Kind;

namespace JSONText {

namespace {

// Integers stay integers; an unsigned one beyond qint64, the floating kinds and the decimal go as a double,
// which must be finite.
bool numberToJson(const QVariant &n, QJsonValue &out)
{
    switch (n.typeId()) {
    case QMetaType::Bool:
        out = n.toBool();
        return true;
    case QMetaType::Double:
    case QMetaType::Float:
        break;
    case QMetaType::ULongLong:
    case QMetaType::ULong:
        if (n.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
            break;
        out = n.toLongLong();
        return true;
    default:
        if (n.metaType() == QMetaType::fromType<platform::DecimalNumber>())
            break;
        out = n.toLongLong();
        return true;
    }
    const double d = SafeValue::doubleValue(n);
    if (!std::isfinite(d))
        return false;
    out = d;
    return true;
}

bool toJson(const QVariant &value, QJsonValue &out)
{
    switch (SafeValue::kindOf(value)) {
    case Kind::Null:
        out = QJsonValue(QJsonValue::Null);
        return true;
    case Kind::String:
        out = value.toString();
        return true;
    case Kind::Number:
        return numberToJson(value, out);
    case Kind::Array: {
        QJsonArray array;
        for (const QVariant &item : value.toList()) {
            QJsonValue v;
            if (!toJson(item, v))
                return false;
            array.append(v);
        }
        out = array;
        return true;
    }
    case Kind::Dictionary: {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            QJsonValue v;
            if (!toJson(it.value(), v))
                return false;
            object.insert(it.key(), v);
        }
        out = object;
        return true;
    }
    case Kind::Absent:
    case Kind::Other:
        break;
    }
    return false;
}

} // namespace

std::optional<QString> stringWithJSONObject(const QVariant &value)
{
    if (!isValidJSONObject(value))
        return std::nullopt;
    const std::optional<QByteArray> bytes = write(value, true);
    return bytes ? std::optional<QString>(QString::fromUtf8(*bytes)) : std::nullopt;
}

std::optional<QVariant> objectWithJSONString(const std::optional<QString> &string)
{
    if (!string)
        return std::nullopt;
    return objectWithJSONData(string->toUtf8(), MutableContainers);
}

std::optional<QVariant> objectWithJSONData(const QByteArray &data, uint64_t options)
{
    return parse(data, options);
}

std::optional<QVariant> parse(const QByteArray &bytes, uint64_t options, QString *errorText)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error == QJsonParseError::NoError)
        return document.toVariant();
    if (options & FragmentsAllowed) {
        // Qt reads only arrays and objects at the top level; a fragment is read as the sole element of one.
        QJsonParseError wrappedError{};
        const QJsonDocument wrapped = QJsonDocument::fromJson("[" + bytes + "\n]", &wrappedError);
        if (wrappedError.error == QJsonParseError::NoError && wrapped.array().size() == 1)
            return wrapped.array().at(0).toVariant();
    }
    if (errorText)
        *errorText = error.errorString();
    return std::nullopt;
}

bool isValidJSONObject(const QVariant &value)
{
    const Kind kind = SafeValue::kindOf(value);
    QJsonValue ignored;
    return (kind == Kind::Array || kind == Kind::Dictionary) && toJson(value, ignored);
}

std::optional<QByteArray> write(const QVariant &value, bool prettyPrinted)
{
    QJsonValue json;
    if (!toJson(value, json))
        return std::nullopt;
    const auto format = prettyPrinted ? QJsonDocument::Indented : QJsonDocument::Compact;
    if (json.isArray())
        return QJsonDocument(json.toArray()).toJson(format);
    if (json.isObject())
        return QJsonDocument(json.toObject()).toJson(format);
    // A fragment: write it as the sole element of an array and cut the brackets away.
    const QByteArray text = QJsonDocument(QJsonArray{json}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

} // namespace JSONText
