#include "Service/NetworkConfig.h"

#include "Service/NetUrlFilter.h"

NetworkConfig &NetworkConfig::sharedConfig()
{
    // Lives for the whole process; never destroyed, so late requests at exit still find it.
    static NetworkConfig *config = new NetworkConfig;
    return *config;
}

QString NetworkConfig::baseUrl() const
{
    std::lock_guard guard(m_lock);
    return m_baseUrl;
}

void NetworkConfig::setBaseUrl(const QString &url)
{
    std::lock_guard guard(m_lock);
    m_baseUrl = url;
}

QString NetworkConfig::cdnUrl() const
{
    std::lock_guard guard(m_lock);
    return m_cdnUrl;
}

void NetworkConfig::setCdnUrl(const QString &url)
{
    std::lock_guard guard(m_lock);
    m_cdnUrl = url;
}

std::vector<std::shared_ptr<NetUrlFilter>> NetworkConfig::urlFilters() const
{
    std::lock_guard guard(m_lock);
    return m_urlFilters;
}

void NetworkConfig::addUrlFilter(const std::shared_ptr<NetUrlFilter> &filter)
{
    std::lock_guard guard(m_lock);
    if (filter)
        m_urlFilters.push_back(filter);
}

void NetworkConfig::clearUrlFilter()
{
    std::lock_guard guard(m_lock);
    m_urlFilters.clear();
}

bool NetworkConfig::debugLogEnabled() const
{
    std::lock_guard guard(m_lock);
    return m_debugLogEnabled;
}

void NetworkConfig::setDebugLogEnabled(bool enabled)
{
    std::lock_guard guard(m_lock);
    m_debugLogEnabled = enabled;
}
