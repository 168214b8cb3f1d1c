#pragma once

#include "Service/NetBaseRequest.h"

#include <QString>
#include <QVariantMap>

// Base of every catalog-service request: the service's base URL and the common parameters that identify
// the computer and the application build. Requests are form-encoded and answered with JSON.
class BaseRequest : public NetBaseRequest
{
public:
    BaseRequest() = default;
    explicit BaseRequest(const QString &parameter) : m_parameter(parameter) {}

    const QString &parameter() const { return m_parameter; }
    void setParameter(const QString &parameter) { m_parameter = parameter; }

    // Built on first use from the device identity and the application's information dictionary, then reused
    // by this request.
    QVariantMap baseParameters();
    void setBaseParameters(const QVariantMap &parameters) { m_baseParameters = parameters; }

    std::optional<QVariant> requestArgument() override { return baseParameters(); }
    QString baseUrl() const override { return serviceBaseUrl(); }

    // MD5 of the text's UTF-8 bytes as 32 lower-case hex digits.
    static QString md5String(const QString &text);
    // The service's origin: BOOTDRIVE_SERVICE_URL from the environment when set, else the build-time value.
    static QString serviceBaseUrl();

private:
    QString m_parameter;
    std::optional<QVariantMap> m_baseParameters;
};
