#include "CatalogService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <chrono>
#include <cstdio>
#include <httplib.h>
#include <thread>

namespace {

QJsonValue withOrigin(const QJsonValue &value, const QString &origin)
{
    if (value.isString())
        return value.toString().replace(QStringLiteral("{origin}"), origin);
    if (value.isArray()) {
        QJsonArray out;
        for (const QJsonValue &item : value.toArray())
            out.append(withOrigin(item, origin));
        return out;
    }
    if (value.isObject()) {
        QJsonObject out;
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            out.insert(it.key(), withOrigin(it.value(), origin));
        return out;
    }
    return value;
}

QByteArray envelope(int code, const QString &message, const QJsonValue &data)
{
    QJsonObject object{{QStringLiteral("code"), code}, {QStringLiteral("data"), data}};
    if (!message.isEmpty())
        object.insert(QStringLiteral("message"), message);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::string mediaTypeOf(const QString &file)
{
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == QLatin1String("svg"))
        return "image/svg+xml";
    if (suffix == QLatin1String("png"))
        return "image/png";
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "image/jpeg";
    return "application/octet-stream";
}

} // namespace

CatalogService::CatalogService(Options options)
    : m_options(std::move(options)), m_server(std::make_unique<httplib::Server>())
{}

CatalogService::~CatalogService() = default;

bool CatalogService::load()
{
    QFile file(m_options.catalogPath);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "catalog-service: cannot read %s\n", qPrintable(m_options.catalogPath));
        return false;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject() ||
        !document.object().value(QStringLiteral("installers")).isArray()) {
        std::fprintf(stderr, "catalog-service: %s is not a catalog ({\"installers\": [...]})\n",
                     qPrintable(m_options.catalogPath));
        return false;
    }
    m_installers = document.object().value(QStringLiteral("installers")).toArray();
    m_logoDirectory = QFileInfo(file).absoluteDir().filePath(QStringLiteral("logos"));
    return true;
}

QString CatalogService::origin() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QByteArray CatalogService::catalogAnswer() const
{
    return envelope(0, QStringLiteral("ok"), withOrigin(m_installers, origin()));
}

QByteArray CatalogService::updateAnswer() const
{
    if (m_options.updateUrl.isEmpty())
        return envelope(1, QStringLiteral("已是最新版本"), QJsonValue::Null);
    const QJsonObject data{{QStringLiteral("download_url"), withOrigin(m_options.updateUrl, origin())}};
    return envelope(0, QStringLiteral("发现新版本"), data);
}

QByteArray CatalogService::errorAnswer() const
{
    return envelope(1001, m_options.errorMessage, QJsonValue::Null);
}

void CatalogService::count(const QString &path, const QByteArray &body)
{
    std::lock_guard guard(m_lock);
    ++m_counts[path];
    m_lastBodies[path] = body;
}

QByteArray CatalogService::stats() const
{
    std::lock_guard guard(m_lock);
    QJsonObject counts;
    for (auto it = m_counts.begin(); it != m_counts.end(); ++it)
        counts.insert(it.key(), it.value());
    QJsonObject bodies;
    for (auto it = m_lastBodies.begin(); it != m_lastBodies.end(); ++it)
        bodies.insert(it.key(), QString::fromUtf8(it.value()));
    return QJsonDocument(
               QJsonObject{{QStringLiteral("counts"), counts}, {QStringLiteral("lastBodies"), bodies}})
        .toJson(QJsonDocument::Compact);
}

int CatalogService::bind(int port)
{
    auto &server = *m_server;
    const std::string contentType = m_options.contentType.isEmpty() ? std::string("application/json")
                                                                    : m_options.contentType.toStdString();

    auto endpoint = [this, contentType](QByteArray (CatalogService::*answer)() const) {
        return [this, contentType, answer](const httplib::Request &request, httplib::Response &response) {
            count(QString::fromStdString(request.path), QByteArray::fromStdString(request.body));
            if (m_options.delaySeconds > 0)
                std::this_thread::sleep_for(std::chrono::duration<double>(m_options.delaySeconds));
            const QByteArray body = m_options.error ? errorAnswer() : (this->*answer)();
            response.set_content(body.toStdString(), contentType);
        };
    };
    server.Post("/api/installation-image-list", endpoint(&CatalogService::catalogAnswer));
    server.Post("/api/update-app", endpoint(&CatalogService::updateAnswer));

    server.Get(R"(/logos/([A-Za-z0-9._-]+))",
               [this](const httplib::Request &request, httplib::Response &response) {
                   count(QString::fromStdString(request.path), {});
                   const QString name = QString::fromStdString(request.matches[1]);
                   QFile file(QDir(m_logoDirectory).filePath(name));
                   if (name.startsWith(QLatin1Char('.')) || !file.open(QIODevice::ReadOnly)) {
                       response.status = 404;
                       return;
                   }
                   response.set_content(file.readAll().toStdString(), mediaTypeOf(name));
               });
    server.Get(R"(/downloads/([A-Za-z0-9._-]+))",
               [this](const httplib::Request &request, httplib::Response &response) {
                   count(QString::fromStdString(request.path), {});
                   const std::string page =
                       "<!DOCTYPE html><html lang=\"zh-CN\"><meta charset=\"utf-8\"><title>示例目录</title>"
                       "<p>这是本地示例目录服务，不提供安装映像的下载：" +
                       std::string(request.matches[1]) + "</p></html>";
                   response.set_content(page, "text/html; charset=utf-8");
               });
    server.Get("/_stats", [this](const httplib::Request &, httplib::Response &response) {
        response.set_content(stats().toStdString(), "application/json");
    });
    server.set_logger([this](const httplib::Request &request, const httplib::Response &response) {
        if (!m_options.quiet)
            std::fprintf(stderr, "catalog-service: %s %s %d\n", request.method.c_str(), request.path.c_str(),
                         response.status);
    });

    // Idle kept-alive connections hold up a stop for this long; clients reconnect cheaply on loopback.
    server.set_keep_alive_timeout(1);

    if (port == 0)
        m_port = server.bind_to_any_port("127.0.0.1");
    else
        m_port = server.bind_to_port("127.0.0.1", port) ? port : -1;
    return m_port;
}

bool CatalogService::run()
{
    return m_server->listen_after_bind();
}

void CatalogService::stop()
{
    m_server->stop();
}
