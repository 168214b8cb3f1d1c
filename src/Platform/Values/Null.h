#pragma once

#include "Platform/Values/Object.h"

namespace platform {

// The single value that stands for JSON null.
class Null final : public Object
{
public:
    static std::shared_ptr<Null> null();
    QString description() const override { return QStringLiteral("<null>"); }

private:
    Null() = default;
};

using NullPtr = std::shared_ptr<Null>;

} // namespace platform
