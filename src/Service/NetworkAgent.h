#pragma once

#include "Platform/Net/TransferLimits.h"
#include "Platform/Net/URLRequest.h"
#include "Platform/Values/Error.h"
#include "Service/JSONResponseSerializer.h"
#include "Service/NetBaseRequest.h"

#include <QSet>
#include <QString>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

class NetworkConfig;
class QNetworkAccessManager;

// Runs requests: builds each one's HTTP request, keeps the request while its transfer runs (on Qt's network
// access manager, on the GUI thread, within the transfer limits), decodes and validates the answer on a
// worker thread, and delivers success or failure on the main thread.
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

    // Size and time limits of the transfers started from now on; TransferLimits::service() by default.
    platform::TransferLimits transferLimits() const;
    void setTransferLimits(const platform::TransferLimits &limits);

    static const QString NetRequestValidationErrorDomain;
    enum ValidationErrorCode : int64_t
    {
        InvalidStatusCode = -8,
        InvalidJSONFormat = -9,
    };

private:
    NetworkAgent();

    std::optional<platform::URLRequest> httpRequestForRequest(const NetBaseRequestPtr &request,
                                                              std::optional<platform::Error> *error) const;
    // GUI thread.
    void startTransfer(const NetRequestTaskPtr &task);
    void handleRequestResult(const NetRequestTaskPtr &task, const platform::HTTPURLResponsePtr &response,
                             const platform::DataPtr &data, const std::optional<platform::Error> &error);
    bool validateResult(const NetBaseRequestPtr &request, std::optional<platform::Error> *error) const;
    void requestDidSucceed(const NetBaseRequestPtr &request);
    void requestDidFail(const NetBaseRequestPtr &request, const platform::Error &error);
    void addRequestToRecord(const NetBaseRequestPtr &request);
    void removeRequestFromRecord(const NetBaseRequestPtr &request);

    NetworkConfig &m_config;
    QNetworkAccessManager *m_network; // lives as long as the process, on the GUI thread
    JSONResponseSerializer m_jsonResponseSerializer;
    mutable std::mutex m_lock;
    std::map<uint64_t, NetBaseRequestPtr> m_requestsRecord;
    QSet<int> m_allStatusCodes;
    platform::TransferLimits m_limits;
    std::atomic<uint64_t> m_nextIdentifier{1};
};
