#include "Platform/URLSession.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QThread>

namespace platform {

const QString URLSession::ErrorDomain = QStringLiteral("app.bootdrive.url");

URLSession::URLSession(URLSessionTask::Delivery delivery)
    : m_manager(new QNetworkAccessManager), m_delivery(std::move(delivery))
{
    // Replies are created and finished on the manager's thread, which must be the GUI thread.
    if (QCoreApplication *app = QCoreApplication::instance(); app && m_manager->thread() != app->thread())
        m_manager->moveToThread(app->thread());
}

URLSession::~URLSession()
{
    m_manager->deleteLater();
}

URLSessionTaskPtr URLSession::dataTaskWithRequest(const URLRequest &request,
                                                  URLSessionTask::CompletionHandler handler)
{
    return URLSessionTaskPtr(new URLSessionTask(m_nextIdentifier.fetch_add(1), request, m_manager, m_delivery,
                                                std::move(handler)));
}

} // namespace platform
