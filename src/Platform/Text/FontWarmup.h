#pragma once

#include <thread>

namespace platform {

// Reads the font system's configuration on a thread of its own from the moment it is made, while the
// application connects to the display and builds its window; that reading is the largest single part of
// showing a window's first text. Made before the application object, kept until the end of main().
class FontWarmup
{
public:
    FontWarmup();
    ~FontWarmup();
    FontWarmup(const FontWarmup &) = delete;
    FontWarmup &operator=(const FontWarmup &) = delete;

private:
    std::thread m_thread;
};

} // namespace platform
