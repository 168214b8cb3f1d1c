#pragma once

#include <QString>
#include <memory>

class NetBaseRequest;

// Rewrites the path of every request that is not already a full URL (adds common query items, say).
class NetUrlFilter
{
public:
    virtual ~NetUrlFilter() = default;
    virtual QString filterUrl(const QString &originUrl, const std::shared_ptr<NetBaseRequest> &request) = 0;
};
