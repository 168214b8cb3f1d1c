#pragma once

#include <functional>

namespace testsupport {

// Runs the main event loop until the condition holds or the time is up; returns the condition's last value.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 5000);
// Runs the main event loop for the given time.
void spin(int ms);

} // namespace testsupport
