#pragma once

#include "Service/NetBaseRequest.h"

#include <QSemaphore>
#include <QStringList>
#include <atomic>

// A request whose every overridable operation is a settable field, for exercising the agent.
class TestRequest : public NetBaseRequest
{
public:
    QString url;
    QString base;
    QString cdn;
    bool cdnWanted = false;
    double timeout = 5.0;
    std::optional<QVariant> argument;
    int64_t method = RequestMethodGET;
    int64_t requestSerializer = RequestSerializerTypeHTTP;
    int64_t responseSerializer = ResponseSerializerTypeJSON;
    QStringList authorization;
    QList<QPair<QString, QString>> headers;
    std::optional<QVariant> validator;
    bool anyStatus = false; // every status passes the status rule
    std::optional<QNetworkRequest> custom;
    QByteArray customVerb = "GET";
    QByteArray customBody;

    // When set, the complete preprocessor waits for one release of it.
    QSemaphore *preprocessorGate = nullptr;
    int completeFilterCalls = 0;
    std::atomic<bool> completePreprocessedOffMain{false};
    std::atomic<int> completePreprocessorCalls{0};
    std::atomic<int> failedPreprocessorCalls{0};

    QString requestUrl() const override { return url; }
    QString baseUrl() const override { return base; }
    QString cdnUrl() const override { return cdn; }
    bool useCDN() const override { return cdnWanted; }
    double requestTimeoutInterval() const override { return timeout; }
    std::optional<QVariant> requestArgument() override { return argument; }
    int64_t requestMethod() const override { return method; }
    int64_t requestSerializerType() const override { return requestSerializer; }
    int64_t responseSerializerType() const override { return responseSerializer; }
    QStringList requestAuthorizationHeaderFieldArray() const override { return authorization; }
    QList<QPair<QString, QString>> requestHeaderFieldValueDictionary() const override { return headers; }
    std::optional<QVariant> jsonValidator() const override { return validator; }
    bool statusCodeValidator() const override { return anyStatus || NetBaseRequest::statusCodeValidator(); }
    std::optional<QNetworkRequest> buildCustomUrlRequest(QByteArray *verb, QByteArray *body) override
    {
        *verb = customVerb;
        *body = customBody;
        return custom;
    }
    void requestCompletePreprocessor() override;
    void requestCompleteFilter() override { ++completeFilterCalls; }
    void requestFailedPreprocessor() override { ++failedPreprocessorCalls; }
};
