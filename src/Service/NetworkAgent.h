#pragma once

#include "Platform/Error.h"
#include "Platform/URLSession.h"
#include "Service/JSONResponseSerializer.h"
#include "Service/NetBaseRequest.h"

#include <QSet>
#include <QString>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

class NetworkConfig;

// Runs requests: builds each one's HTTP request, keeps the request while its transfer runs, decodes and
// validates the answer on a worker thread, and delivers success or failure on the main thread.
class NetworkAgent
{
public:
    static NetworkAgent &sharedAgent();

    // Starts the transfer; called on the thread that starts the request.
    void addRequest(const NetBaseRequestPtr &request);
    // Cancels the transfer and forgets the request; none of its blocks runs afterwards.
    void cancelRequest(const NetBaseRequestPtr &request);
    void cancelAllRequests();
    // The absolute URL the request goes to.
    QString buildRequestUrl(const NetBaseRequest &request) const;

    // How many requests are waiting for their answers to be delivered.
    size_t runningRequestCount() const;

    static const QString NetRequestValidationErrorDomain;
    enum ValidationErrorCode : int64_t
    {
        InvalidStatusCode = -8,
        InvalidJSONFormat = -9,
    };

private:
    NetworkAgent();

    platform::URLSessionTaskPtr sessionTaskForRequest(const NetBaseRequestPtr &request,
                                                      std::optional<platform::Error> *error);
    void handleRequestResult(const platform::URLSessionTaskPtr &task,
                             const platform::HTTPURLResponsePtr &response, const platform::DataPtr &data,
                             const std::optional<platform::Error> &error);
    bool validateResult(const NetBaseRequestPtr &request, std::optional<platform::Error> *error) const;
    void requestDidSucceed(const NetBaseRequestPtr &request);
    void requestDidFail(const NetBaseRequestPtr &request, const platform::Error &error);
    void addRequestToRecord(const NetBaseRequestPtr &request);
    void removeRequestFromRecord(const NetBaseRequestPtr &request);

    NetworkConfig &m_config;
    platform::URLSession m_manager;
    JSONResponseSerializer m_jsonResponseSerializer;
    mutable std::mutex m_lock;
    std::map<uint64_t, NetBaseRequestPtr> m_requestsRecord;
    QSet<int> m_allStatusCodes;
};
