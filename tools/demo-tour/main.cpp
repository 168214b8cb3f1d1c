// bootdrive-tour --installer PATH --drive NAME --output DIR [--language zh|en]
// Runs the application's window and drives it through the whole creation flow, saving a screenshot of each
// phase. The window speaks the given language, else the user's. Exit status 0 when the installer drive was
// made.
#include "App/AppDelegate.h"
#include "Platform/Runtime/BundleInfo.h"
#include "Platform/Text/Localization.h"
#include "Tour.h"
#include "UI/MainViewController.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QIcon>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("bootdrive"));
    QApplication::setApplicationDisplayName(
        platform::BundleInfo::string(QStringLiteral("CFBundleDisplayName")));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/AppIcon.svg")));
    qputenv("PATH", QFile::encodeName(QCoreApplication::applicationDirPath()) + ':' + qgetenv("PATH"));

    QCommandLineParser parser;
    parser.addOption(
        {QStringLiteral("installer"), QStringLiteral("Installer bundle"), QStringLiteral("path")});
    parser.addOption(
        {QStringLiteral("drive"), QStringLiteral("Drive name below /Volumes"), QStringLiteral("name")});
    parser.addOption({QStringLiteral("output"), QStringLiteral("Screenshot folder"), QStringLiteral("dir")});
    parser.addOption({QStringLiteral("language"), QStringLiteral("Interface language: zh or en"),
                      QStringLiteral("language")});
    parser.process(app);
    const QString language = parser.value(QStringLiteral("language"));
    const auto interfaceLanguage = language.isEmpty()
                                       ? platform::Localization::languageFor(QLocale::system())
                                       : platform::Localization::languageFor(QLocale(language));
    platform::Localization::installInterfaceTranslations(interfaceLanguage);
    platform::Localization::prepareInterfaceFonts(interfaceLanguage);

    MainViewController window;
    window.setWindowTitle(QApplication::applicationDisplayName());
    window.viewDidLoad();
    window.resize(920, 580);
    window.show();

    std::printf("bootdrive-tour: screenshots\n");
    Tour tour(window, QDir(parser.value(QStringLiteral("output"))));
    const bool made =
        tour.run(parser.value(QStringLiteral("installer")), parser.value(QStringLiteral("drive")));
    if (!made) {
        std::fprintf(stderr, "bootdrive-tour: %s\n", qPrintable(tour.failure()));
        return 1;
    }
    std::printf("bootdrive-tour: the installer drive was made\n");
    return 0;
}
