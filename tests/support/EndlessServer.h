#pragma once

#include <QUrl>
#include <atomic>
#include <httplib.h>
#include <string>
#include <thread>

// A loopback HTTP server whose answers never end: every path answers 200 with the media type and streams
// the prefix, then filler bytes until the client goes away — 16 KiB at a time as fast as the client reads
// (Flood), 64 bytes every 50 ms (Trickle, so no idle time-out ever fires), or as a flood that declares a
// Content-Length of 1 GiB up front (Declared). The filler is noise. cpp-httplib compresses answers whose
// media type is exactly a text or JSON type, and its compressor holds back megabytes before it sends any:
// give such types a parameter ("application/json; charset=utf-8") to keep the stream flowing.
class EndlessServer
{
public:
    enum class Pace
    {
        Flood,
        Trickle,
        Declared,
    };

    EndlessServer(Pace pace, std::string mediaType, std::string prefix);
    ~EndlessServer();
    EndlessServer(const EndlessServer &) = delete;
    EndlessServer &operator=(const EndlessServer &) = delete;

    QUrl url(const std::string &path) const;
    QString origin() const;
    long long bytesSent() const { return m_sent.load(); }
    int requests() const { return m_requests.load(); }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = -1;
    std::atomic<bool> m_stopping{false};
    std::atomic<long long> m_sent{0};
    std::atomic<int> m_requests{0};
};
