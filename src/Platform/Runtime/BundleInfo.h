#pragma once

#include <QVariantMap>

namespace platform {

// The application's own information dictionary, compiled in from Resources/Info.plist.
class BundleInfo
{
public:
    static const QVariantMap &mainInfoDictionary();
    // The text under the key, or an empty text.
    static QString string(const QString &key);
    static QString identifier() { return string(QStringLiteral("CFBundleIdentifier")); }
    static QString version() { return string(QStringLiteral("CFBundleVersion")); }
    static QString shortVersion() { return string(QStringLiteral("CFBundleShortVersionString")); }
    static QString executable() { return string(QStringLiteral("CFBundleExecutable")); }
};

} // namespace platform
