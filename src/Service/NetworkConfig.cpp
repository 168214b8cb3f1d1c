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
    return m_baseUrl;
}

void NetworkConfig::setBaseUrl(const QString &url)
{
    m_baseUrl = url;
}

QString NetworkConfig::cdnUrl() const
{
    return m_cdnUrl;
}

void NetworkConfig::setCdnUrl(const QString &url)
{
    m_cdnUrl = url;
}

std::vector<std::shared_ptr<NetUrlFilter>> NetworkConfig::urlFilters() const
{
    return m_urlFilters;
}

void NetworkConfig::addUrlFilter(const std::shared_ptr<NetUrlFilter> &filter)
{
    if (filter)
        m_urlFilters.push_back(filter);
}

void NetworkConfig::clearUrlFilter()
{
    m_urlFilters.clear();
}

bool NetworkConfig::debugLogEnabled() const
{
    return m_debugLogEnabled;
}

void NetworkConfig::setDebugLogEnabled(bool enabled)
{
    m_debugLogEnabled = enabled;
}
