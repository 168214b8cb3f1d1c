#include "support/LocalHttpServer.h"

#include <QBuffer>
#include <QImage>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int PollMs = 20;

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

const char *reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

std::string chunk(const std::string &data)
{
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", data.size());
    return size + data + "\r\n";
}

} // namespace

std::string LocalHttpServer::Seen::header(const std::string &name) const
{
    for (const auto &[key, value] : headers)
        if (strcasecmp(key.c_str(), name.c_str()) == 0)
            return value;
    return {};
}

LocalHttpServer::LocalHttpServer(Responder responder, int port) : m_responder(std::move(responder))
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    sockaddr_in address = loopback(port);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::listen(m_listener, 64) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        if (m_listener >= 0)
            ::close(m_listener);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptConnections(); });
}

LocalHttpServer::~LocalHttpServer()
{
    {
        std::lock_guard guard(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_acceptor.join();
    for (std::thread &connection : m_connections)
        connection.join();
    ::close(m_listener);
}

QString LocalHttpServer::origin() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QUrl LocalHttpServer::url(const std::string &path) const
{
    return QUrl(origin() + QString::fromStdString(path));
}

void LocalHttpServer::setResponder(Responder responder)
{
    std::lock_guard guard(m_lock);
    m_responder = std::move(responder);
}

void LocalHttpServer::setRoute(const std::string &path, Answer answer)
{
    std::lock_guard guard(m_lock);
    m_routes[path] = std::move(answer);
}

std::vector<LocalHttpServer::Seen> LocalHttpServer::requests() const
{
    std::lock_guard guard(m_lock);
    return m_seen;
}

size_t LocalHttpServer::requestCount() const
{
    std::lock_guard guard(m_lock);
    return m_seen.size();
}

int LocalHttpServer::requests(const std::string &path) const
{
    std::lock_guard guard(m_lock);
    return static_cast<int>(
        std::count_if(m_seen.begin(), m_seen.end(), [&](const Seen &seen) { return seen.path == path; }));
}

long long LocalHttpServer::bytesSent() const
{
    std::lock_guard guard(m_lock);
    return m_sent;
}

void LocalHttpServer::holdUntilReleased()
{
    std::unique_lock lock(m_lock);
    m_wake.wait(lock, [this] { return m_released || m_stopping; });
}

void LocalHttpServer::release()
{
    {
        std::lock_guard guard(m_lock);
        m_released = true;
    }
    m_wake.notify_all();
}

LocalHttpServer::Responder LocalHttpServer::answer(int status, const std::string &mediaType,
                                                   const std::string &body, Endless endless)
{
    return [=](const Seen &) { return Answer{body, status, mediaType, 0, {}, endless}; };
}

std::string LocalHttpServer::png(const QColor &color, int width, int height)
{
    QImage image(width, height > 0 ? height : width, QImage::Format_RGB32);
    image.fill(color);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data().toStdString();
}

int LocalHttpServer::closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    const bool found = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), length) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!found)
        throw std::runtime_error("cannot find a free loopback port");
    return ntohs(address.sin_port);
}

void LocalHttpServer::acceptConnections()
{
    for (;;) {
        {
            std::lock_guard guard(m_lock);
            if (m_stopping)
                return;
        }
        pollfd waiting{m_listener, POLLIN, 0};
        if (::poll(&waiting, 1, PollMs) <= 0)
            continue;
        const int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        std::lock_guard guard(m_lock);
        m_connections.emplace_back([this, connection] {
            serve(connection);
            ::close(connection);
        });
    }
}

void LocalHttpServer::serve(int connection)
{
    Seen seen;
    if (!readRequest(connection, &seen))
        return;
    Answer answer{{}, 404};
    Responder responder;
    {
        std::lock_guard guard(m_lock);
        m_seen.push_back(seen);
        if (const auto route = m_routes.find(seen.path); route != m_routes.end())
            answer = route->second;
        else
            responder = m_responder;
    }
    if (responder)
        answer = responder(seen);
    if (answer.delayMs > 0 && !pause(answer.delayMs))
        return;
    if (seen.method == "HEAD" && answer.raw.empty() && answer.endless == Endless::No)
        answer.body.clear();
    writeAnswer(connection, answer);
    ::shutdown(connection, SHUT_WR);
}

bool LocalHttpServer::readRequest(int connection, Seen *seen)
{
    std::string received;
    size_t headEnd = std::string::npos;
    size_t wanted = 0;
    char buffer[16384];
    // A client that sends nothing for seconds has gone; give up on it.
    for (int idle = 0; idle * PollMs < 5000;) {
        if (headEnd != std::string::npos && received.size() >= headEnd + 4 + wanted)
            break;
        {
            std::lock_guard guard(m_lock);
            if (m_stopping)
                return false;
        }
        pollfd readable{connection, POLLIN, 0};
        if (::poll(&readable, 1, PollMs) <= 0) {
            ++idle;
            continue;
        }
        const ssize_t got = ::read(connection, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        idle = 0;
        received.append(buffer, static_cast<size_t>(got));
        if (headEnd == std::string::npos && (headEnd = received.find("\r\n\r\n")) != std::string::npos) {
            size_t lineEnd = received.find("\r\n");
            const std::string requestLine = received.substr(0, lineEnd);
            const size_t space = requestLine.find(' ');
            const size_t secondSpace = requestLine.find(' ', space + 1);
            seen->method = requestLine.substr(0, space);
            const std::string target = requestLine.substr(space + 1, secondSpace - space - 1);
            const size_t question = target.find('?');
            seen->path = QUrl::fromPercentEncoding(QByteArray::fromStdString(target.substr(0, question)))
                             .toStdString();
            seen->query = question == std::string::npos ? std::string() : target.substr(question + 1);
            while (lineEnd < headEnd) {
                const size_t next = received.find("\r\n", lineEnd + 2);
                const std::string line = received.substr(lineEnd + 2, next - lineEnd - 2);
                lineEnd = next;
                const size_t colon = line.find(':');
                if (colon == std::string::npos)
                    continue;
                const size_t value = line.find_first_not_of(' ', colon + 1);
                seen->headers.emplace(line.substr(0, colon),
                                      value == std::string::npos ? std::string() : line.substr(value));
            }
            const std::string length = seen->header("Content-Length");
            wanted = length.empty() ? 0 : std::stoull(length);
        }
    }
    if (headEnd == std::string::npos || received.size() < headEnd + 4 + wanted)
        return false;
    seen->body = received.substr(headEnd + 4, wanted);
    return true;
}

bool LocalHttpServer::send(int connection, const std::string &bytes)
{
    size_t written = 0;
    while (written < bytes.size()) {
        {
            std::lock_guard guard(m_lock);
            if (m_stopping)
                return false;
        }
        // Waits in short steps: a client that stopped reading must not hold up the server's end.
        pollfd writable{connection, POLLOUT, 0};
        if (::poll(&writable, 1, PollMs) <= 0)
            continue;
        if (writable.revents & (POLLERR | POLLHUP))
            return false;
        const ssize_t sent =
            ::send(connection, bytes.data() + written, bytes.size() - written, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (sent <= 0)
            return false;
        written += static_cast<size_t>(sent);
    }
    return true;
}

void LocalHttpServer::writeAnswer(int connection, const Answer &answer)
{
    if (!answer.raw.empty()) {
        send(connection, answer.raw);
        return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + reason(answer.status) + "\r\n";
    if (!answer.mediaType.empty())
        head += "Content-Type: " + answer.mediaType + "\r\n";
    for (const auto &[field, value] : answer.headers)
        head += field + ": " + value + "\r\n";
    switch (answer.endless) {
    case Endless::No:
        head += "Content-Length: " + std::to_string(answer.body.size()) + "\r\n";
        break;
    case Endless::Declared:
        head += "Content-Length: " + std::to_string(1LL << 30) + "\r\n";
        break;
    default:
        head += "Transfer-Encoding: chunked\r\n";
    }
    head += "Connection: close\r\n\r\n";
    const bool chunked = answer.endless == Endless::Flood || answer.endless == Endless::Trickle;
    const auto sendBody = [&](const std::string &data) {
        if (!send(connection, chunked ? chunk(data) : data))
            return false;
        std::lock_guard guard(m_lock);
        m_sent += static_cast<long long>(data.size());
        return true;
    };
    if (!send(connection, head) || (!answer.body.empty() && !sendBody(answer.body)) ||
        answer.endless == Endless::No)
        return;
    std::string filler(answer.endless == Endless::Trickle ? 64 : 16 * 1024, '\0');
    std::mt19937 noise(7);
    for (char &c : filler)
        c = static_cast<char>(noise());
    while (sendBody(filler))
        if (answer.endless == Endless::Trickle && !pause(50))
            return;
}

bool LocalHttpServer::pause(int ms)
{
    std::unique_lock lock(m_lock);
    return !m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopping; });
}
