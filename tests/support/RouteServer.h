#pragma once

#include <QColor>
#include <QUrl>
#include <condition_variable>
#include <httplib.h>
#include <map>
#include <mutex>
#include <string>
#include <thread>

// A real HTTP server on 127.0.0.1 (a free port) on its own thread, answering each path as set up (body,
// status, media type, delay) and counting the requests per path. Unknown paths answer 404.
class RouteServer
{
public:
    struct Route
    {
        std::string body;
        int status = 200;
        std::string mediaType = "image/png";
        int delayMs = 0;
        // Further header fields of the answer (Cache-Control, say).
        std::multimap<std::string, std::string> headers = {};
    };

    // On a free loopback port, or on the one given.
    explicit RouteServer(int port = 0);
    ~RouteServer();

    void setRoute(const std::string &path, Route route);
    QUrl url(const std::string &path) const;
    int requests(const std::string &path) const;

    // A small PNG of one colour.
    static std::string png(const QColor &color, int side = 8);
    // A loopback port on which nothing listens.
    static int closedPort();

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = -1;
    mutable std::mutex m_lock;
    std::condition_variable m_stopping;
    bool m_stopped = false;
    std::map<std::string, Route> m_routes;
    std::map<std::string, int> m_counts;
};
