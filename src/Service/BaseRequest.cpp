#include "Service/BaseRequest.h"

#include "BuildConfig.h"
#include "Common/SafeAccess.h"
#include "Common/SafeMerge.h"
#include "Platform/Runtime/BundleInfo.h"
#include "Service/DeviceInfomation.h"

#include <QCryptographicHash>

using namespace platform;

QVariantMap BaseRequest::baseParameters()
{
    if (m_baseParameters)
        return *m_baseParameters;
    const QVariantMap &info = BundleInfo::mainInfoDictionary();
    QVariantMap parameters;
    const auto device = DeviceInfomation::sharedInstance();
    // The device identity marks a missing value with a null text; such a field is left out.
    const auto known = [](const QString &text) { return text.isNull() ? std::nullopt : std::optional(text); };
    SafeAccess::safe_setString(parameters, known(device->deviceName()), QStringLiteral("deviceName"));
    SafeAccess::safe_setString(parameters, known(device->deviceIPAddress()),
                               QStringLiteral("deviceIPAddress"));
    SafeAccess::safe_setString(parameters, known(device->deviceMACAddress()),
                               QStringLiteral("deviceMACAddress"));
    SafeAccess::safe_setString(parameters,
                               SafeMerge::safe_stringForKey(info, QStringLiteral("CFBundleIdentifier")),
                               QStringLiteral("bundle_identifier"));
    SafeAccess::safe_setInteger(parameters,
                                SafeMerge::safe_integerForKey(info, QStringLiteral("CFBundleVersion")),
                                QStringLiteral("version"));
    m_baseParameters = parameters;
    return parameters;
}

QString BaseRequest::md5String(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString BaseRequest::serviceBaseUrl()
{
    const QString fromEnvironment = qEnvironmentVariable("BOOTDRIVE_SERVICE_URL").trimmed();
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStringLiteral(BOOTDRIVE_SERVICE_URL);
}
