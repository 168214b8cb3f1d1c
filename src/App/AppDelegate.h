#pragma once

#include "Platform/Runtime/InstallLayout.h"
#include "Platform/Values/Error.h"

#include <QSettings>
#include <QString>
#include <memory>
#include <optional>

// The application delegate. Launch and termination do nothing of their own; the delegate carries the
// once-per-user installation of the privileged helper (our pkexec helper and its polkit action), which
// start-up does not call.
class AppDelegate
{
public:
    static const QString HelperLabel;
    static const QString InstallToolKey;

    // installRoot: where the helper's files go ("/" in the application; a scratch folder in tests); layout:
    // where the application's own helper is.
    explicit AppDelegate(std::shared_ptr<QSettings> defaults,
                         QString installRoot = QStringLiteral("/"),
                         platform::InstallLayout layout = platform::InstallLayout::current());

    void applicationDidFinishLaunching() {}
    void applicationWillTerminate() {}

    // Installs the helper unless the user's defaults say it is installed; logs the outcome.
    void initHelperTool();
    // Asks for administrator rights and installs the helper under the label; on failure the error says why.
    // Nothing is asked or installed when an installation brought the helper with its action.
    bool blessHelperWithLabel(const QString &label, platform::Error *error);

    // Where the helper and its polkit action are installed below the install root.
    static QString helperInstallPath()
    {
        return QStringLiteral("usr/local/libexec/bootdrive/bootdrive-privileged-exec");
    }
    static QString policyInstallPath(const QString &label);
    static QByteArray policyText(const QString &label, const QString &helperPath);
    // Whether the application's own helper was installed with its polkit action for the label.
    bool isHelperInPlace(const QString &label) const;

private:
    std::shared_ptr<QSettings> m_defaults;
    QString m_installRoot;
    platform::InstallLayout m_layout;
};
