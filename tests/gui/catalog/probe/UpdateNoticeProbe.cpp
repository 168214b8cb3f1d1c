// Shows the main window against the service named by BOOTDRIVE_SERVICE_URL, presses "下载新版本" when the
// update notice appears, prints "opened <link>" for each link handed to the default handler (web links and
// the kinds a hostile service might send) and "answered <ms>" when it pressed, then runs the event loop until
// the application ends by itself.
#include "UI/MainViewController.h"
#include "WindowDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

class LinkPrinter : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl &url)
    {
        std::printf("opened %s\n", qPrintable(url.toString()));
        std::fflush(stdout);
    }
};

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    LinkPrinter printer;
    for (const char *scheme : {"https", "http", "file", "javascript", "data", "smb", ""})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &printer, "open");
    MainViewController window;
    window.viewDidLoad();
    window.show();
    WindowDriver driver(window);
    QMessageBox *notice = driver.waitForAlert(10000);
    if (!notice || notice->text() != QStringLiteral("温馨提示")) {
        std::printf("no update notice\n");
        return 3;
    }
    std::printf("notice %s | %s\n", qPrintable(notice->informativeText()),
                qPrintable(notice->findChildren<QAbstractButton *>().size() == 1
                               ? QStringLiteral("one button")
                               : QStringLiteral("buttons")));
    std::printf("answered %lld\n", static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
    std::fflush(stdout);
    WindowDriver::clickButton(notice, QStringLiteral("下载新版本"));
    // The application must end by itself; a safety net turns a hang into a distinct status.
    QTimer::singleShot(10000, [] { QCoreApplication::exit(4); });
    return QApplication::exec();
}

#include "UpdateNoticeProbe.moc"
