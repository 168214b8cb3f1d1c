#include "Platform/Text/FontWarmup.h"

#include <fontconfig/fontconfig.h>

namespace platform {

// Fontconfig is thread-safe; Qt's own set-up then finds it initialised.
FontWarmup::FontWarmup() : m_thread([] { FcInit(); }) {}

FontWarmup::~FontWarmup()
{
    m_thread.join();
}

} // namespace platform
