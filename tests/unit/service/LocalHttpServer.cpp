#include "LocalHttpServer.h"

#include "support/LoopbackHttp.h"

#include <chrono>
#include <stdexcept>

std::string LocalHttpServer::Seen::header(const std::string &name) const
{
    for (const auto &[key, value] : headers)
        if (strcasecmp(key.c_str(), name.c_str()) == 0)
            return value;
    return {};
}

LocalHttpServer::LocalHttpServer(Responder responder) : m_responder(std::move(responder))
{
    // Route handlers, not a pre-routing one: only they see the request body.
    const auto handle = [this](const httplib::Request &request, httplib::Response &response) {
        Responder current;
        {
            std::lock_guard guard(m_lock);
            Seen seen{request.method, request.path, {}, {}, request.body};
            const auto question = request.target.find('?');
            seen.query = question == std::string::npos ? std::string() : request.target.substr(question + 1);
            for (const auto &[key, value] : request.headers)
                seen.headers.emplace(key, value);
            m_seen.push_back(std::move(seen));
            current = m_responder;
        }
        if (current)
            current(request, response);
        else
            response.status = 404;
    };
    m_server.Get(".*", handle);
    m_server.Post(".*", handle);
    m_server.Put(".*", handle);
    m_server.Patch(".*", handle);
    m_server.Delete(".*", handle);
    m_server.Options(".*", handle);
    m_port = testsupport::startOnLoopback(m_server, m_thread);
}

LocalHttpServer::~LocalHttpServer()
{
    release();
    m_server.stop();
    m_thread.join();
}

QString LocalHttpServer::origin() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

void LocalHttpServer::setResponder(Responder responder)
{
    std::lock_guard guard(m_lock);
    m_responder = std::move(responder);
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

void LocalHttpServer::holdUntilReleased()
{
    std::unique_lock lock(m_lock);
    m_released.wait(lock, [this] { return m_isReleased; });
}

void LocalHttpServer::release()
{
    {
        std::lock_guard guard(m_lock);
        m_isReleased = true;
    }
    m_released.notify_all();
}

LocalHttpServer::Responder LocalHttpServer::answer(int status, const std::string &mediaType,
                                                   const std::string &body)
{
    return [status, mediaType, body](const httplib::Request &, httplib::Response &response) {
        response.status = status;
        if (!mediaType.empty())
            response.set_header("Content-Type", mediaType);
        response.body = body;
    };
}
