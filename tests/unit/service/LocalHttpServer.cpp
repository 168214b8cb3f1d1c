#include "LocalHttpServer.h"

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
    // One request per connection: a kept-alive connection would hold up the server's end for seconds.
    m_server.set_keep_alive_max_count(1);
    // A connection a cancelled client opened but never used would otherwise keep a worker for 5 s.
    m_server.set_read_timeout(1, 0);
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("cannot bind a port on 127.0.0.1");
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
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
