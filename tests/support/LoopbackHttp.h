#pragma once

#include <httplib.h>
#include <thread>

namespace testsupport {

// Starts the server on a free port of 127.0.0.1 on the given thread, with one request per connection and a
// short read time-out, so stopping it never waits for an idle or cancelled client. Returns the port once
// the server accepts; throws when no port can be bound. A given port is bound as it is (a service that comes
// back where it was).
int startOnLoopback(httplib::Server &server, std::thread &thread, int port = 0);

} // namespace testsupport
