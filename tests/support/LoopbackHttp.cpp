#include "support/LoopbackHttp.h"

#include <chrono>
#include <stdexcept>

namespace testsupport {

int startOnLoopback(httplib::Server &server, std::thread &thread, int port)
{
    server.set_keep_alive_max_count(1);
    server.set_read_timeout(1, 0);
    if (port > 0 ? !server.bind_to_port("127.0.0.1", port)
                 : (port = server.bind_to_any_port("127.0.0.1")) <= 0)
        throw std::runtime_error("cannot bind a port on 127.0.0.1");
    thread = std::thread([&server] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return port;
}

} // namespace testsupport
