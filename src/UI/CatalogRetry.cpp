#include "UI/CatalogRetry.h"

#include <QNetworkInformation>
#include <algorithm>

CatalogRetry::CatalogRetry(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CatalogRetry::fire);
    // Where the system tells when the network comes back (NetworkManager, …), that is the moment to try.
    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
                [this](QNetworkInformation::Reachability reachability) {
                    if (isWaiting() && reachability == QNetworkInformation::Reachability::Online)
                        fire();
                });
    }
}

void CatalogRetry::failed()
{
    const int pause = std::min(3000 << std::min(m_failures, 5), 60000);
    ++m_failures;
    m_timer.start(pause);
}

void CatalogRetry::succeeded()
{
    m_failures = 0;
    m_timer.stop();
}

void CatalogRetry::fire()
{
    m_timer.stop();
    emit retryNow();
}
