#include "Platform/BundleInfo.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::BundleInfo::executable());
    QApplication::setApplicationVersion(platform::BundleInfo::shortVersion());

    QWidget window;
    window.setWindowTitle(platform::BundleInfo::string(QStringLiteral("CFBundleDisplayName")));
    window.resize(900, 600);
    window.show();
    return app.exec();
}
