#pragma once

#include "Platform/Net/TransferLimits.h"
#include "Platform/Values/Error.h"
#include "Service/NetBaseRequest.h"

#include <QByteArray>
#include <QString>
#include <map>
#include <memory>
#include <optional>

class NetworkConfig;
class QNetworkAccessManager;

// Runs requests: builds each one's QNetworkRequest, keeps the request in its record while Qt's network access
// manager sends it (within the transfer limits), decodes and validates the answer, and delivers success or
// failure. All of it on the GUI thread, where the record needs no lock; only a large answer is decoded on a
// worker, and a request cancelled meanwhile is dropped when the decoding is done.
class NetworkAgent
{
public:
    // Answers up to this size are decoded at once; larger ones on a worker, so the GUI thread never waits.
    static constexpr qsizetype WorkerDecodeThreshold = 64 * 1024;

    static NetworkAgent &sharedAgent();

    // Builds the request and sends it. GUI thread only, like every call here.
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
    void startTransfer(const NetBaseRequestPtr &request, const QByteArray &verb, const QByteArray &body);
    // Whether the run of the request under this identifier is still recorded; a cancelled one is not.
    bool isRecorded(const NetBaseRequestPtr &request, uint64_t identifier) const;
    void handleRequestResult(const NetBaseRequestPtr &request, uint64_t identifier,
                             const std::optional<QByteArray> &data,
                             const std::optional<platform::Error> &transportError);
    // Fills in the answer, judges it and runs the preprocessor hook; the failure, if any. Touches nothing but
    // the request, so it may run on a worker.
    static std::optional<platform::Error> processResult(NetBaseRequest &request,
                                                        const std::optional<QByteArray> &data,
                                                        const std::optional<platform::Error> &transportError);
    static bool validateResult(const NetBaseRequest &request, std::optional<platform::Error> *error);
    // The observers and blocks of a processed answer, then the request leaves the record.
    void deliver(const NetBaseRequestPtr &request, uint64_t identifier,
                 const std::optional<platform::Error> &failure);
    static void notify(const NetBaseRequestPtr &request, bool succeeded);

    NetworkConfig &m_config;
    QNetworkAccessManager *m_network; // lives as long as the process; also the context of decoded answers
    std::map<uint64_t, NetBaseRequestPtr> m_requestsRecord;
    platform::TransferLimits m_limits;
    uint64_t m_nextIdentifier = 1;
};
