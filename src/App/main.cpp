#include "Platform/BundleInfo.h"

#include <QApplication>
#include <QFile>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::BundleInfo::executable());
    QApplication::setApplicationVersion(platform::BundleInfo::shortVersion());
    // Our own tools (the disk utility stand-in among them) are found before the system's.
    qputenv("PATH", QFile::encodeName(QCoreApplication::applicationDirPath()) + ':' + qgetenv("PATH"));

    QWidget window;
    window.setWindowTitle(platform::BundleInfo::string(QStringLiteral("CFBundleDisplayName")));
    window.resize(900, 600);
    window.show();
    return app.exec();
}
