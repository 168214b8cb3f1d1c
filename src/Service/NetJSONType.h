#pragma once

#include "Platform/Values/Object.h"

// A kind of JSON value, for the templates that a request's jsonValidator returns: a template is a value
// graph whose leaves are kinds ({"code": NetJSONType::number(), "data": NetJSONType::array()}).
class NetJSONType final : public platform::Object
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

    static std::shared_ptr<NetJSONType> make(Kind kind);
    static std::shared_ptr<NetJSONType> string() { return make(Kind::String); }
    static std::shared_ptr<NetJSONType> number() { return make(Kind::Number); }
    static std::shared_ptr<NetJSONType> array() { return make(Kind::Array); }
    static std::shared_ptr<NetJSONType> dictionary() { return make(Kind::Dictionary); }
    static std::shared_ptr<NetJSONType> null() { return make(Kind::Null); }
    static std::shared_ptr<NetJSONType> any() { return make(Kind::Any); }

    explicit NetJSONType(Kind kind) : m_kind(kind) {}
    Kind kind() const { return m_kind; }
    // Whether the value is of this kind (or a specialisation of it); nothing is of no kind.
    bool matches(const platform::ObjectPtr &value) const;

    QString description() const override;
    bool isEqual(const platform::Object &other) const override;

private:
    Kind m_kind;
};
