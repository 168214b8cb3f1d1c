#pragma once

#include <memory>

class NetBaseRequest;

// Observer of one request's outcome, held weakly by the request. Both calls come on the main thread,
// before the request's own completion blocks.
class NetRequestDelegate
{
public:
    virtual ~NetRequestDelegate() = default;
    virtual void requestFinished(const std::shared_ptr<NetBaseRequest> &request) { (void)request; }
    virtual void requestFailed(const std::shared_ptr<NetBaseRequest> &request) { (void)request; }
};
