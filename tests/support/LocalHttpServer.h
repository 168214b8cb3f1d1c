#pragma once

#include <QColor>
#include <QString>
#include <QUrl>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A real HTTP server on 127.0.0.1 (a free port, or the one given) for tests, written on plain sockets so
// that it can also give the answers no well-behaved HTTP library sends. One request per connection, each
// on a thread of its own; every request is kept. A path set up with setRoute gets its answer, any other
// the responder's, and 404 without one.
class LocalHttpServer
{
public:
    // What the server saw of one request.
    struct Seen
    {
        std::string method;
        std::string path;
        std::string query;
        std::multimap<std::string, std::string> headers;
        std::string body;
        // A header field's value, its name compared without regard to case; empty when absent.
        std::string header(const std::string &name) const;
    };

    // How a body goes on after `body` (which is sent first): not at all, or without end until the client
    // goes away — 16 KiB of noise at a time as fast as the client reads (Flood), 64 bytes every 50 ms, so
    // that no idle time-out fires (Trickle), or a flood behind a declared Content-Length of 1 GiB
    // (Declared).
    enum class Endless
    {
        No,
        Flood,
        Trickle,
        Declared,
    };

    struct Answer
    {
        std::string body = {};
        int status = 200;
        std::string mediaType = {}; // empty: no Content-Type at all
        int delayMs = 0;            // before the answer; the server's end cuts it short
        std::multimap<std::string, std::string> headers = {};
        Endless endless = Endless::No;
        // When not empty, these bytes as they are instead of all of the above: a status outside
        // 100-599, a wrong Content-Length, a head that never ends.
        std::string raw = {};
    };
    using Responder = std::function<Answer(const Seen &request)>;

    explicit LocalHttpServer(Responder responder = {}, int port = 0);
    // On the given port (a service coming back where it was), answering only the routes set up.
    explicit LocalHttpServer(int port) : LocalHttpServer(Responder(), port) {}
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer &) = delete;
    LocalHttpServer &operator=(const LocalHttpServer &) = delete;

    int port() const { return m_port; }
    QString origin() const;
    QUrl url(const std::string &path) const;

    void setResponder(Responder responder);
    void setRoute(const std::string &path, Answer answer);

    std::vector<Seen> requests() const;
    size_t requestCount() const;
    int requests(const std::string &path) const;
    // Body bytes written so far, endless ones included.
    long long bytesSent() const;

    // Makes responders that call holdUntilReleased() wait until release() (or the server's end).
    void holdUntilReleased();
    void release();

    // A responder answering every request alike; the body first, when endless.
    static Responder answer(int status, const std::string &mediaType, const std::string &body,
                            Endless endless = Endless::No);
    // A PNG of one colour, square unless a height is given.
    static std::string png(const QColor &color, int width = 8, int height = 0);
    // A loopback port on which nothing listens.
    static int closedPort();

private:
    void acceptConnections();
    void serve(int connection);
    bool readRequest(int connection, Seen *seen);
    bool send(int connection, const std::string &bytes);
    void writeAnswer(int connection, const Answer &answer);
    bool pause(int ms);

    int m_listener = -1;
    int m_port = 0;
    std::thread m_acceptor;
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stopping = false;
    bool m_released = false;
    std::vector<std::thread> m_connections;
    Responder m_responder;
    std::map<std::string, Answer> m_routes;
    std::vector<Seen> m_seen;
    long long m_sent = 0;
};
