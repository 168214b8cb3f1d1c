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

    QString baseUrl() const;
    void setBaseUrl(const QString &url);
    QString cdnUrl() const;
    void setCdnUrl(const QString &url);

    // A copy of the filters, in the order they were added.
    std::vector<std::shared_ptr<NetUrlFilter>> urlFilters() const;
    void addUrlFilter(const std::shared_ptr<NetUrlFilter> &filter);
    void clearUrlFilter();

    bool debugLogEnabled() const;
    void setDebugLogEnabled(bool enabled);

private:
    NetworkConfig() = default;

    QString m_baseUrl;
    QString m_cdnUrl;
    std::vector<std::shared_ptr<NetUrlFilter>> m_urlFilters;
    bool m_debugLogEnabled = false;
};
