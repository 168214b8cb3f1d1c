#include "Platform/Runtime/UserDefaults.h"

#include "Platform/Runtime/BundleInfo.h"

namespace platform {

UserDefaults::UserDefaults()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             BundleInfo::identifier(), QStringLiteral("defaults")))
{}

UserDefaults::UserDefaults(const QString &filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{}

bool UserDefaults::boolForKey(const QString &key) const
{
    return m_settings->value(key, false).toBool();
}

void UserDefaults::setBool(bool value, const QString &key)
{
    m_settings->setValue(key, value);
}

QVariant UserDefaults::objectForKey(const QString &key) const
{
    return m_settings->value(key);
}

void UserDefaults::setObject(const QVariant &value, const QString &key)
{
    m_settings->setValue(key, value);
}

void UserDefaults::removeObjectForKey(const QString &key)
{
    m_settings->remove(key);
}

bool UserDefaults::synchronize()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

} // namespace platform
