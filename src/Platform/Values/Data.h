#pragma once

#include "Platform/Values/Object.h"

#include <QByteArray>

namespace platform {

// Raw bytes.
class Data final : public Object
{
public:
    explicit Data(QByteArray bytes = {}) : m_bytes(std::move(bytes)) {}
    static std::shared_ptr<Data> make(const QByteArray &bytes) { return std::make_shared<Data>(bytes); }

    const QByteArray &bytes() const { return m_bytes; }
    QString description() const override;
    bool isEqual(const Object &other) const override;

private:
    QByteArray m_bytes;
};

using DataPtr = std::shared_ptr<Data>;

} // namespace platform
