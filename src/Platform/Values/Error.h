#pragma once

#include <QString>
#include <cstdint>

namespace platform {

// A failure value: domain, signed code and a human-readable description.
struct Error
{
    QString domain;
    int64_t code = 0;
    QString localizedDescription;
};

} // namespace platform
