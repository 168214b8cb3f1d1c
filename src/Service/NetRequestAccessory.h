#pragma once

#include <memory>

class NetBaseRequest;

// Observer of a request's start and stop (a spinner, say). Held strongly by the request. willStart comes
// on the thread that starts the request; the stop calls come on the main thread.
class NetRequestAccessory
{
public:
    virtual ~NetRequestAccessory() = default;
    virtual void requestWillStart(const std::shared_ptr<NetBaseRequest> &request) { (void)request; }
    virtual void requestWillStop(const std::shared_ptr<NetBaseRequest> &request) { (void)request; }
    virtual void requestDidStop(const std::shared_ptr<NetBaseRequest> &request) { (void)request; }
};
