#include "App/AppDelegate.h"
#include "Cli/CliApplication.h"
#include "Common/CircularProgress/CircularProgressAccessible.h"
#include "Platform/Runtime/BundleInfo.h"
#include "Platform/Runtime/InstallLayout.h"
#include "Platform/Text/Localization.h"
#include "UI/MainViewController.h"

#include <QApplication>
#include <QSettings>

int main(int argc, char *argv[])
{
    // Log lines say when and which process, never a level or a category.
    qSetMessagePattern(
        QStringLiteral("%{time yyyy-MM-dd hh:mm:ss.zzz} %{appname}[%{pid}:%{threadid}] %{message}"));
    // A command runs without a window; no arguments, or only Qt's own, open the window.
    if (const std::optional<int> status = CliApplication::run(argc, argv))
        return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::BundleInfo::executable());
    QApplication::setApplicationDisplayName(
        platform::BundleInfo::string(QStringLiteral("CFBundleDisplayName")));
    QApplication::setApplicationVersion(platform::BundleInfo::shortVersion());
    QGuiApplication::setDesktopFileName(QStringLiteral("app.bootdrive.BootDrive"));
    CircularProgressAccessible::installFactory();
    const auto language = platform::Localization::languageFor(QLocale::system());
    platform::Localization::installInterfaceTranslations(language);
    platform::Localization::prepareInterfaceFonts(language);
    // Our own tools (the disk utility stand-in among them) are found before the system's.
    platform::InstallLayout::current().putToolsFirstOnPath();

    // The user default "installTool" lives in the user's configuration folder under the bundle identifier.
    AppDelegate delegate(std::make_shared<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                     platform::BundleInfo::identifier(),
                                                     QStringLiteral("defaults")));
    delegate.applicationDidFinishLaunching();

    MainViewController window;
    window.setWindowTitle(QApplication::applicationDisplayName());
    window.viewDidLoad();
    window.show();
    window.closeOnStopSignals();
    const int status = QApplication::exec();
    delegate.applicationWillTerminate();
    return status;
}
