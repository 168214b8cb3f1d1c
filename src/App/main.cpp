#include "App/AppDelegate.h"
#include "Platform/BundleInfo.h"
#include "Platform/Localization.h"
#include "Platform/MountMonitor.h"
#include "UI/MainViewController.h"

#include <QApplication>
#include <QFile>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::BundleInfo::executable());
    QApplication::setApplicationDisplayName(
        platform::BundleInfo::string(QStringLiteral("CFBundleDisplayName")));
    QApplication::setApplicationVersion(platform::BundleInfo::shortVersion());
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/AppIcon.svg")));
    platform::Localization::installInterfaceTranslations();
    // Our own tools (the disk utility stand-in among them) are found before the system's.
    qputenv("PATH", QFile::encodeName(QCoreApplication::applicationDirPath()) + ':' + qgetenv("PATH"));

    // Volume mounts reach the creation job as notices on the main thread.
    platform::MountMonitor mountMonitor;
    AppDelegate delegate(std::make_shared<platform::UserDefaults>());
    delegate.applicationDidFinishLaunching();

    MainViewController window;
    window.setWindowTitle(QApplication::applicationDisplayName());
    window.viewDidLoad();
    window.show();
    const int status = QApplication::exec();
    delegate.applicationWillTerminate();
    return status;
}
