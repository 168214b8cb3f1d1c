#pragma once

#include <chrono>

// SIGTERM, SIGINT and SIGHUP ask the tool to stop. The handler only notes the request; the tool looks at it
// between steps and between pieces of the copy, so it stops at a point where it can say so and clean up.
// The erase holds these signals back while it formats, so a request then takes effect once the volume is
// mounted again.
namespace cancellation {

// Installs the handler. Without SA_RESTART: a request also ends a wait for input.
void install();
bool requested();
// Sleeps until the time point, or less when a stop is requested meanwhile.
void sleepUntil(std::chrono::steady_clock::time_point due);

} // namespace cancellation
