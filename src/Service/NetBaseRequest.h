#pragma once

#include "Platform/Values/Error.h"

#include <QList>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class NetRequestAccessory;
class NetRequestDelegate;
namespace platform {
class HTTPTransfer;
}

// One HTTP call to a web service. Subclasses describe the call by overriding the virtual operations below;
// the shared NetworkAgent runs it. Create requests with std::make_shared: the agent holds a started request
// until its answer has been delivered, so the caller need not keep it. GUI thread only, but for a large
// answer: it is filled in, and the preprocessor hooks run, on a worker; read the answer in the blocks.
class NetBaseRequest : public std::enable_shared_from_this<NetBaseRequest>
{
public:
    enum RequestMethod : int64_t
    {
        RequestMethodGET = 0,
        RequestMethodPOST = 1,
        RequestMethodHEAD = 2,
        RequestMethodPUT = 3,
        RequestMethodDELETE = 4,
        RequestMethodPATCH = 5,
    };
    enum RequestSerializerType : int64_t
    {
        RequestSerializerTypeHTTP = 0, // form encoding
        RequestSerializerTypeJSON = 1,
    };
    enum ResponseSerializerType : int64_t
    {
        ResponseSerializerTypeHTTP = 0, // raw bytes
        ResponseSerializerTypeJSON = 1,
        ResponseSerializerTypeXMLParser = 2, // the bytes, for the caller to parse
    };
    enum RequestPriority : int64_t
    {
        RequestPriorityLow = -4,
        RequestPriorityDefault = 0,
        RequestPriorityHigh = 4,
    };
    // The state of the transfer behind a started request.
    enum class TaskState
    {
        None = -1, // not added, or it could not be built
        Running = 0,
        Canceling = 2,
        Completed = 3,
    };

    using CompletionBlock = std::function<void(const std::shared_ptr<NetBaseRequest> &request)>;

    NetBaseRequest() = default;
    virtual ~NetBaseRequest();
    NetBaseRequest(const NetBaseRequest &) = delete;
    NetBaseRequest &operator=(const NetBaseRequest &) = delete;

    // The running transfer, Qt's reply: from the moment it is sent until its answer arrived. GUI thread only.
    QNetworkReply *requestTask() const;
    // The request's key in the agent's record: 0 until it was added, and for one that could not be built.
    uint64_t taskIdentifier() const { return m_taskIdentifier; }
    TaskState taskState() const { return m_taskState; }
    bool isCancelled() const { return taskState() == TaskState::Canceling; }
    bool isExecuting() const { return taskState() == TaskState::Running; }
    // The request as built, and as sent after redirections; nothing before the request was added.
    std::optional<QNetworkRequest> originalRequest() const { return m_originalRequest; }
    std::optional<QNetworkRequest> currentRequest() const;
    // The answer's head, kept when the answer arrived: 0 and no fields before, and when none came.
    int responseStatusCode() const { return m_statusCode; }
    QList<QNetworkReply::RawHeaderPair> responseHeaders() const { return m_responseHeaders; }
    // One header field, its name compared without regard to case; null when absent.
    QByteArray responseHeader(const QByteArray &field) const;

    // The answer, filled before any delivery runs.
    const std::optional<QByteArray> &responseData() const { return m_responseData; }
    void setResponseData(const std::optional<QByteArray> &data) { m_responseData = data; }
    // The body as text in the answer's character set; null when it cannot be decoded.
    const QString &responseString() const { return m_responseString; }
    void setResponseString(const QString &text) { m_responseString = text; }
    // The decoded answer, or the bytes themselves when it is not decoded as JSON.
    const std::optional<QVariant> &responseObject() const { return m_responseObject; }
    void setResponseObject(const std::optional<QVariant> &object) { m_responseObject = object; }
    const std::optional<QVariant> &responseJSONObject() const { return m_responseJSONObject; }
    void setResponseJSONObject(const std::optional<QVariant> &object) { m_responseJSONObject = object; }
    const std::optional<platform::Error> &error() const { return m_error; }
    void setError(const std::optional<platform::Error> &error) { m_error = error; }

    int64_t tag() const { return m_tag; }
    void setTag(int64_t tag) { m_tag = tag; }
    const QVariantMap &userInfo() const { return m_userInfo; }
    void setUserInfo(const QVariantMap &userInfo) { m_userInfo = userInfo; }
    std::shared_ptr<NetRequestDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::weak_ptr<NetRequestDelegate> &delegate) { m_delegate = delegate; }

    CompletionBlock successCompletionBlock() const { return m_successCompletionBlock; }
    void setSuccessCompletionBlock(CompletionBlock block) { m_successCompletionBlock = std::move(block); }
    CompletionBlock failureCompletionBlock() const { return m_failureCompletionBlock; }
    void setFailureCompletionBlock(CompletionBlock block) { m_failureCompletionBlock = std::move(block); }
    void setCompletionBlockWithSuccess(CompletionBlock success, CompletionBlock failure)
    {
        m_successCompletionBlock = std::move(success);
        m_failureCompletionBlock = std::move(failure);
    }
    void clearCompletionBlock();

    const std::vector<std::shared_ptr<NetRequestAccessory>> &requestAccessories() const
    {
        return m_accessories;
    }
    void addAccessory(const std::shared_ptr<NetRequestAccessory> &accessory);

    int64_t requestPriority() const { return m_requestPriority; }
    void setRequestPriority(int64_t priority) { m_requestPriority = priority; }

    // Stores the blocks and starts the request. The one entry point the service client uses.
    void startWithCompletionBlockWithSuccess(CompletionBlock success, CompletionBlock failure);
    void start();
    // Cancels the request; neither block runs afterwards.
    void stop();

    // Hooks around delivery: the preprocessors run where the answer is decoded (a worker for a large answer,
    // else the main thread), the filters on the main thread just before the delegate and the blocks.
    virtual void requestCompletePreprocessor() {}
    virtual void requestCompleteFilter() {}
    virtual void requestFailedPreprocessor() {}
    virtual void requestFailedFilter() {}

    // A path resolved against the base URL, or a full URL used as it is.
    virtual QString requestUrl() const { return {}; }
    virtual QString cdnUrl() const { return {}; }
    virtual QString baseUrl() const { return {}; }
    virtual double requestTimeoutInterval() const { return 60.0; }
    virtual std::optional<QVariant> requestArgument() { return std::nullopt; }
    virtual int64_t requestMethod() const { return RequestMethodGET; }
    virtual int64_t requestSerializerType() const { return RequestSerializerTypeHTTP; }
    virtual int64_t responseSerializerType() const { return ResponseSerializerTypeJSON; }
    // User and password for basic authorization; empty for none.
    virtual QStringList requestAuthorizationHeaderFieldArray() const { return {}; }
    // Extra header fields, in order; empty for none.
    virtual QList<QPair<QString, QString>> requestHeaderFieldValueDictionary() const { return {}; }
    // A ready request that replaces everything above, with its verb and body (GET and none unless set);
    // nothing by default.
    virtual std::optional<QNetworkRequest> buildCustomUrlRequest(QByteArray *verb, QByteArray *body)
    {
        (void)verb;
        (void)body;
        return std::nullopt;
    }
    virtual bool useCDN() const { return false; }
    // Kept for subclasses that set it; every connection on this platform counts as allowed.
    virtual bool allowsCellularAccess() const { return true; }
    // A template of NetJSONType kinds the decoded answer must match; nothing by default.
    virtual std::optional<QVariant> jsonValidator() const { return std::nullopt; }
    virtual bool statusCodeValidator() const;

    void toggleAccessoriesWillStartCallBack();
    void toggleAccessoriesWillStopCallBack();
    void toggleAccessoriesDidStopCallBack();

    // The agent's side: the task it made for the request, and the answer's head as it arrives.
    void beginTask(uint64_t identifier, const QNetworkRequest &original);
    void endTaskUnbuilt()
    {
        m_taskIdentifier = 0;
        m_taskState = TaskState::None;
    }
    void setTaskState(TaskState state) { m_taskState = state; }
    platform::HTTPTransfer *transfer() const;
    void setTransfer(platform::HTTPTransfer *transfer);
    void setCurrentUrl(const QUrl &url) { m_currentUrl = url; }
    void setResponseHead(int statusCode, const QList<QNetworkReply::RawHeaderPair> &headers, const QUrl &url);

private:
    uint64_t m_taskIdentifier = 0;
    TaskState m_taskState = TaskState::None;
    QPointer<platform::HTTPTransfer> m_transfer;
    std::optional<QNetworkRequest> m_originalRequest;
    QUrl m_currentUrl;
    int m_statusCode = 0;
    QList<QNetworkReply::RawHeaderPair> m_responseHeaders;

    std::optional<QByteArray> m_responseData;
    QString m_responseString;
    std::optional<QVariant> m_responseObject;
    std::optional<QVariant> m_responseJSONObject;
    std::optional<platform::Error> m_error;
    int64_t m_tag = 0;
    QVariantMap m_userInfo;
    std::weak_ptr<NetRequestDelegate> m_delegate;
    CompletionBlock m_successCompletionBlock;
    CompletionBlock m_failureCompletionBlock;
    std::vector<std::shared_ptr<NetRequestAccessory>> m_accessories;
    int64_t m_requestPriority = RequestPriorityDefault;
};

using NetBaseRequestPtr = std::shared_ptr<NetBaseRequest>;
