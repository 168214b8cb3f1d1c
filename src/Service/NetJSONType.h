#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

// A kind of JSON value, for the templates that a request's jsonValidator returns: a template is a value
// whose leaves are kinds ({"code": NetJSONType::number(), "data": NetJSONType::array()}).
class NetJSONType
{
public:
    enum class Kind
    {
        String,
        Number,
        Array,
        Dictionary,
        Null,
        Any
    };

    NetJSONType() = default;
    explicit NetJSONType(Kind kind) : m_kind(kind) {}
    // The kind as a template leaf.
    static QVariant make(Kind kind) { return QVariant::fromValue(NetJSONType(kind)); }
    static QVariant string() { return make(Kind::String); }
    static QVariant number() { return make(Kind::Number); }
    static QVariant array() { return make(Kind::Array); }
    static QVariant dictionary() { return make(Kind::Dictionary); }
    static QVariant null() { return make(Kind::Null); }
    static QVariant any() { return make(Kind::Any); }

    Kind kind() const { return m_kind; }
    // Whether the value is of this kind; nothing (an invalid variant) is of no kind.
    bool matches(const QVariant &value) const;

    friend bool operator==(const NetJSONType &a, const NetJSONType &b) { return a.m_kind == b.m_kind; }

private:
    Kind m_kind = Kind::Any;
};

Q_DECLARE_METATYPE(NetJSONType)
