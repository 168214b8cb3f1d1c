#pragma once

#include <QString>
#include <atomic>
#include <string>
#include <thread>

// A loopback server that answers every connection with the same bytes, written as they are: for answers
// no well-behaved HTTP library would send (no Content-Type, a status outside 100-599).
class RawHttpServer
{
public:
    explicit RawHttpServer(std::string response);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer &) = delete;
    RawHttpServer &operator=(const RawHttpServer &) = delete;

    QString origin() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    int connections() const { return m_connections.load(); }

private:
    void serve();

    std::string m_response;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
};
