#pragma once

#include "Platform/Values/Dictionary.h"

namespace platform {

struct Notification
{
    QString name;
    // Identity of the poster, used only to filter observers.
    const void *sender = nullptr;
    DictionaryPtr userInfo;
};

} // namespace platform
