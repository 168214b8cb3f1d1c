#pragma once

#include <QString>
#include <memory>
#include <vector>

class NetUrlFilter;

// Process-wide settings of the request framework, GUI thread only. The catalog client leaves them at their
// defaults: each of its requests names its own base URL.
class NetworkConfig
{
public:
    static NetworkConfig &sharedConfig();

    QString baseUrl() const { return m_baseUrl; }
    void setBaseUrl(const QString &url) { m_baseUrl = url; }
    QString cdnUrl() const { return m_cdnUrl; }
    void setCdnUrl(const QString &url) { m_cdnUrl = url; }

    // A copy of the filters, in the order they were added.
    std::vector<std::shared_ptr<NetUrlFilter>> urlFilters() const { return m_urlFilters; }
    void addUrlFilter(const std::shared_ptr<NetUrlFilter> &filter);
    void clearUrlFilter() { m_urlFilters.clear(); }

    bool debugLogEnabled() const { return m_debugLogEnabled; }
    void setDebugLogEnabled(bool enabled) { m_debugLogEnabled = enabled; }

private:
    NetworkConfig() = default;

    QString m_baseUrl;
    QString m_cdnUrl;
    std::vector<std::shared_ptr<NetUrlFilter>> m_urlFilters;
    bool m_debugLogEnabled = false;
};
