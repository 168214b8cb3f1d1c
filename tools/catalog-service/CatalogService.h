#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QMap>
#include <QString>
#include <memory>
#include <mutex>

namespace httplib {
class Server;
}

// Answers the two catalog endpoints from a catalog file, serves the logos beside it, and counts requests.
class CatalogService
{
public:
    struct Options
    {
        QString catalogPath;
        QString updateUrl;       // an update notice with this link; empty: no notice
        bool error = false;      // answer every call with the error envelope (code 1001)
        QString errorMessage;    // message of that envelope; empty: none
        double delaySeconds = 0; // wait before answering the endpoints
        QString contentType;     // media type of the endpoints' answers; empty: application/json
        bool quiet = false;      // no request log on standard error
    };

    explicit CatalogService(Options options);
    ~CatalogService();

    // Loads the catalog; false with the reason on standard error when it cannot be read.
    bool load();
    // Binds 127.0.0.1:port (0: a free port); the bound port, or -1.
    int bind(int port);
    // Serves until stop(); false when the server could not run.
    bool run();
    void stop();

private:
    QByteArray catalogAnswer() const;
    QByteArray updateAnswer() const;
    QByteArray errorAnswer() const;
    QString origin() const;
    void count(const QString &path, const QByteArray &body);
    QByteArray stats() const;

    Options m_options;
    QJsonArray m_installers;
    QString m_logoDirectory;
    QString m_downloadPage;
    int m_port = -1;
    std::unique_ptr<httplib::Server> m_server;
    mutable std::mutex m_lock;
    QMap<QString, qint64> m_counts;
    QMap<QString, QByteArray> m_lastBodies;
};
