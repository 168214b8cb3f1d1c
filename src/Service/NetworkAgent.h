#pragma once

#include "Platform/Net/TransferLimits.h"
#include "Platform/Values/Error.h"
#include "Service/NetBaseRequest.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

class NetworkConfig;
class QNetworkAccessManager;

// Runs requests: builds each one's QNetworkRequest, keeps the request in its record while Qt's network access
// manager sends it (on the GUI thread, within the transfer limits), decodes and validates the answer on a
// worker thread, and delivers success or failure on the main thread.
class NetworkAgent
{
public:
    static NetworkAgent &sharedAgent();

    // Builds the request on the calling thread and sends it from the GUI thread.
    void addRequest(const NetBaseRequestPtr &request);
    // Forgets the request, then aborts its transfer; none of its blocks runs afterwards.
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
    // The JSON step's failures, and a request that could not be built.
    static const QString SerializationErrorDomain;
    enum SerializationErrorCode : int64_t
    {
        CannotBuildRequest = -1,
        CannotDecodeContentData = -1016,
        CorruptData = 3840,
    };

private:
    NetworkAgent();

    std::optional<QNetworkRequest> httpRequestForRequest(NetBaseRequest &request, QByteArray *verb,
                                                         QByteArray *body, platform::Error *error) const;
    // GUI thread.
    void startTransfer(const NetBaseRequestPtr &request, const QByteArray &verb, const QByteArray &body);
    void handleRequestResult(uint64_t taskIdentifier, const std::optional<QByteArray> &data,
                             const std::optional<platform::Error> &error);
    bool validateResult(const NetBaseRequestPtr &request, std::optional<platform::Error> *error) const;
    void requestDidSucceed(const NetBaseRequestPtr &request);
    void requestDidFail(const NetBaseRequestPtr &request, const platform::Error &error);
    NetBaseRequestPtr recordedRequest(uint64_t taskIdentifier) const;
    void removeRequestFromRecord(const NetBaseRequestPtr &request);

    NetworkConfig &m_config;
    QNetworkAccessManager *m_network; // lives as long as the process, on the GUI thread
    mutable std::mutex m_lock;
    std::map<uint64_t, NetBaseRequestPtr> m_requestsRecord;
    platform::TransferLimits m_limits;
    std::atomic<uint64_t> m_nextIdentifier{1};
};
