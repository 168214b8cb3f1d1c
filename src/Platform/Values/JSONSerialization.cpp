#include "Platform/Values/JSONSerialization.h"

#include "Platform/Values/Array.h"
#include "Platform/Values/DecimalNumber.h"
#include "Platform/Values/Dictionary.h"
#include "Platform/Values/Null.h"
#include "Platform/Values/String.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <cmath>

namespace platform {

namespace {

ObjectPtr fromJson(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return Null::null();
    case QJsonValue::Bool:
        return Number::fromBool(value.toBool());
    case QJsonValue::Double: {
        // Qt keeps integer literals that fit in 64 bits as integers; report those as integer numbers.
        const QVariant variant = value.toVariant();
        if (variant.typeId() == QMetaType::LongLong)
            return Number::fromLongLong(variant.toLongLong());
        return Number::fromDouble(value.toDouble());
    }
    case QJsonValue::String:
        return String::make(value.toString());
    case QJsonValue::Array: {
        auto array = std::make_shared<Array>();
        for (const QJsonValue &item : value.toArray())
            array->append(fromJson(item));
        return array;
    }
    case QJsonValue::Object: {
        auto dictionary = std::make_shared<Dictionary>();
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            dictionary->setValue(it.key(), fromJson(it.value()));
        return dictionary;
    }
    case QJsonValue::Undefined:
        break;
    }
    return {};
}

bool toJson(const ObjectPtr &value, QJsonValue &out)
{
    if (!value)
        return false;
    if (is<Null>(value)) {
        out = QJsonValue(QJsonValue::Null);
        return true;
    }
    if (auto s = as<String>(value)) {
        out = s->value();
        return true;
    }
    if (auto n = as<Number>(value)) {
        if (n->isBool()) {
            out = n->boolValue();
        } else if (n->isFloatingPoint()) {
            const double d = n->doubleValue();
            if (!std::isfinite(d))
                return false;
            out = d;
        } else if (n->type() == Number::Type::UnsignedLongLong && n->longLongValue() < 0) {
            out = n->doubleValue();
        } else {
            out = static_cast<qint64>(n->longLongValue());
        }
        return true;
    }
    if (auto a = as<Array>(value)) {
        QJsonArray array;
        for (const auto &item : a->items()) {
            QJsonValue v;
            if (!toJson(item, v))
                return false;
            array.append(v);
        }
        out = array;
        return true;
    }
    if (auto d = as<Dictionary>(value)) {
        QJsonObject object;
        for (const auto &[key, item] : d->entries()) {
            QJsonValue v;
            if (!toJson(item, v))
                return false;
            object.insert(key, v);
        }
        out = object;
        return true;
    }
    return false;
}

} // namespace

ObjectPtr JSONSerialization::parse(const QByteArray &bytes, uint64_t options, QString *errorText)
{
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error == QJsonParseError::NoError) {
        if (document.isArray())
            return fromJson(document.array());
        return fromJson(document.object());
    }
    if (options & FragmentsAllowed) {
        // Qt reads only arrays and objects at the top level; a fragment is read as the sole element of one.
        QJsonParseError wrappedError{};
        document = QJsonDocument::fromJson("[" + bytes + "\n]", &wrappedError);
        if (wrappedError.error == QJsonParseError::NoError && document.array().size() == 1)
            return fromJson(document.array().at(0));
    }
    if (errorText)
        *errorText = error.errorString();
    return {};
}

bool JSONSerialization::isValidJSONObject(const ObjectPtr &value)
{
    if (!is<Array>(value) && !is<Dictionary>(value))
        return false;
    QJsonValue ignored;
    return toJson(value, ignored);
}

QByteArray JSONSerialization::write(const ObjectPtr &value, bool prettyPrinted, bool *ok)
{
    QJsonValue json;
    const bool written = toJson(value, json);
    if (ok)
        *ok = written;
    if (!written)
        return {};
    const auto format = prettyPrinted ? QJsonDocument::Indented : QJsonDocument::Compact;
    if (json.isArray())
        return QJsonDocument(json.toArray()).toJson(format);
    if (json.isObject())
        return QJsonDocument(json.toObject()).toJson(format);
    // A fragment: write it as the sole element of an array and cut the brackets away.
    QByteArray text = QJsonDocument(QJsonArray{json}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

} // namespace platform
