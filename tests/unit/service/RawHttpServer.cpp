#include "RawHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

RawHttpServer::RawHttpServer(std::string response) : m_response(std::move(response))
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

RawHttpServer::~RawHttpServer()
{
    m_stopping = true;
    m_thread.join();
    ::close(m_listener);
}

void RawHttpServer::serve()
{
    while (!m_stopping) {
        pollfd waiting{m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, 20) <= 0)
            continue;
        const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        ++m_connections;
        // Read the request head (and whatever body came with it), then answer and close.
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            pollfd readable{connection, POLLIN, 0};
            if (::poll(&readable, 1, 1000) <= 0)
                break;
            const ssize_t got = ::read(connection, buffer, sizeof(buffer));
            if (got <= 0)
                break;
            request.append(buffer, static_cast<size_t>(got));
        }
        size_t written = 0;
        while (written < m_response.size()) {
            const ssize_t sent =
                ::send(connection, m_response.data() + written, m_response.size() - written, MSG_NOSIGNAL);
            if (sent <= 0)
                break;
            written += static_cast<size_t>(sent);
        }
        ::shutdown(connection, SHUT_WR);
        ::close(connection);
    }
}
