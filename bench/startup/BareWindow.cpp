// The least a Qt Widgets window costs: an application and one label, shown.
#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("BootDrive"));
    label.resize(920, 580);
    label.show();
    return QApplication::exec();
}
