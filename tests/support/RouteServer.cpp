#include "support/RouteServer.h"

#include "support/LoopbackHttp.h"

#include <QBuffer>
#include <QImage>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

RouteServer::RouteServer(int port)
{
    const auto answer = [this](const httplib::Request &request, httplib::Response &response) {
        std::unique_lock lock(m_lock);
        ++m_counts[request.path];
        const auto found = m_routes.find(request.path);
        if (found == m_routes.end()) {
            response.status = 404;
            return;
        }
        const Route route = found->second;
        m_stopping.wait_for(lock, std::chrono::milliseconds(route.delayMs), [this] { return m_stopped; });
        response.status = route.status;
        for (const auto &[field, value] : route.headers)
            response.set_header(field, value);
        response.set_content(route.body, route.mediaType);
    };
    // Pictures are fetched with GET, the service is called with POST; both answer alike.
    m_server.Get(".*", answer);
    m_server.Post(".*", answer);
    m_port = testsupport::startOnLoopback(m_server, m_thread, port);
}

RouteServer::~RouteServer()
{
    {
        std::lock_guard guard(m_lock);
        m_stopped = true;
    }
    m_stopping.notify_all();
    m_server.stop();
    m_thread.join();
}

void RouteServer::setRoute(const std::string &path, Route route)
{
    std::lock_guard guard(m_lock);
    m_routes[path] = std::move(route);
}

QUrl RouteServer::url(const std::string &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(QString::fromStdString(path)));
}

int RouteServer::requests(const std::string &path) const
{
    std::lock_guard guard(m_lock);
    const auto found = m_counts.find(path);
    return found == m_counts.end() ? 0 : found->second;
}

std::string RouteServer::png(const QColor &color, int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(color);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data().toStdString();
}

int RouteServer::closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("cannot find a free loopback port");
    ::close(fd);
    return ntohs(address.sin_port);
}
