#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>
#include <memory>

namespace platform {

// The user's defaults for this application, kept by QSettings under the bundle identifier.
class UserDefaults
{
public:
    // Defaults stored in the user's configuration folder under the application's identifier.
    UserDefaults();
    // Defaults stored in the given file (tests, tools).
    explicit UserDefaults(const QString &filePath);

    bool boolForKey(const QString &key) const;
    void setBool(bool value, const QString &key);
    QVariant objectForKey(const QString &key) const;
    void setObject(const QVariant &value, const QString &key);
    void removeObjectForKey(const QString &key);
    bool synchronize();

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace platform
