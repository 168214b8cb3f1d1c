#include "Service/BaseRequest.h"

#include "BuildConfig.h"
#include "Common/SafeAccess.h"
#include "Common/SafeMerge.h"
#include "Platform/Runtime/BundleInfo.h"
#include "Service/DeviceInfomation.h"

#include <QCryptographicHash>

using namespace platform;

DictionaryPtr BaseRequest::baseParameters()
{
    if (m_baseParameters)
        return m_baseParameters;
    const DictionaryPtr info = BundleInfo::mainInfoDictionary();
    m_baseParameters = std::make_shared<Dictionary>();
    const auto device = DeviceInfomation::sharedInstance();
    SafeAccess::safe_setString(m_baseParameters, device->deviceName(), QStringLiteral("deviceName"));
    SafeAccess::safe_setString(m_baseParameters, device->deviceIPAddress(),
                               QStringLiteral("deviceIPAddress"));
    SafeAccess::safe_setString(m_baseParameters, device->deviceMACAddress(),
                               QStringLiteral("deviceMACAddress"));
    SafeAccess::safe_setString(m_baseParameters,
                               SafeMerge::safe_stringForKey(info, QStringLiteral("CFBundleIdentifier")),
                               QStringLiteral("bundle_identifier"));
    SafeAccess::safe_setInteger(m_baseParameters,
                                SafeMerge::safe_integerForKey(info, QStringLiteral("CFBundleVersion")),
                                QStringLiteral("version"));
    return m_baseParameters;
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
