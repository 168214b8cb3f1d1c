#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <httplib.h>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A real HTTP server on 127.0.0.1 (a free port) running on its own thread, for tests. Every request goes
// to one responder; the server keeps a copy of each request it saw.
class LocalHttpServer
{
public:
    struct Seen
    {
        std::string method;
        std::string path;
        std::string query;
        std::multimap<std::string, std::string> headers;
        std::string body;
        std::string header(const std::string &name) const;
    };
    using Responder = std::function<void(const httplib::Request &, httplib::Response &)>;

    explicit LocalHttpServer(Responder responder = {});
    ~LocalHttpServer();

    int port() const { return m_port; }
    QString origin() const;
    void setResponder(Responder responder);
    std::vector<Seen> requests() const;
    size_t requestCount() const;

    // Makes responders that call holdUntilReleased() wait until release() (or the server's end).
    void holdUntilReleased();
    void release();

    // A responder answering with this status, media type (empty: no Content-Type at all) and body.
    static Responder answer(int status, const std::string &mediaType, const std::string &body);

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = -1;
    mutable std::mutex m_lock;
    Responder m_responder;
    std::vector<Seen> m_seen;
    std::condition_variable m_released;
    bool m_isReleased = false;
};
