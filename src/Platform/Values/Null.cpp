#include "Platform/Values/Null.h"

namespace platform {

std::shared_ptr<Null> Null::null()
{
    static const std::shared_ptr<Null> marker(new Null);
    return marker;
}

} // namespace platform
