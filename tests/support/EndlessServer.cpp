#include "support/EndlessServer.h"

#include "support/LoopbackHttp.h"

#include <chrono>
#include <random>

EndlessServer::EndlessServer(Pace pace, std::string mediaType, std::string prefix)
{
    std::string filler(pace == Pace::Trickle ? 64 : 16 * 1024, '\0');
    std::mt19937 noise(7);
    for (char &c : filler)
        c = static_cast<char>(noise());
    const auto answer = [=, this](const httplib::Request &, httplib::Response &response) {
        ++m_requests;
        const auto provide = [=, this](size_t offset, httplib::DataSink &sink) {
            if (m_stopping)
                return false;
            if (pace == Pace::Trickle && offset > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const std::string &chunk = offset == 0 && !prefix.empty() ? prefix : filler;
            if (!sink.write(chunk.data(), chunk.size()))
                return false;
            m_sent += static_cast<long long>(chunk.size());
            return true;
        };
        if (pace == Pace::Declared)
            response.set_content_provider(
                size_t(1) << 30, mediaType,
                [provide](size_t offset, size_t, httplib::DataSink &sink) { return provide(offset, sink); });
        else
            response.set_chunked_content_provider(mediaType, provide);
    };
    m_server.Get(".*", answer);
    m_server.Post(".*", answer);
    m_port = testsupport::startOnLoopback(m_server, m_thread);
}

EndlessServer::~EndlessServer()
{
    m_stopping = true;
    m_server.stop();
    m_thread.join();
}

QUrl EndlessServer::url(const std::string &path) const
{
    return QUrl(origin() + QString::fromStdString(path));
}

QString EndlessServer::origin() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}
