// Shows the main window against the service named by BOOTDRIVE_SERVICE_URL, presses "下载新版本" when the
// update notice appears, prints "opened <link>" for each link handed to the default handler (web links and
// the kinds a hostile service might send) and "answered <ms>" when it pressed, then runs the event loop until
// the application ends by itself.
//
// --create INSTALLER DRIVE first makes the drive as a person would: picks both, confirms, and while the drive
// is written asks to quit with Ctrl+Q and with SIGTERM, answering each question with "继续创建" ("asked").
// It prints "early notice" if the notice shows before the run's result, "result <ms> <headline>" when the
// result comes and "dismissed <ms>" once it has answered it with "暂不安装".
// --no-browser registers no handler, so no link can open: "link alert <address>" is printed when the window
// gives the address instead, which is answered after a while ("link answered <ms>").
#include "Common/CircularProgress/CircularProgress.h"
#include "UI/MainViewController.h"
#include "UI/OpenPanel.h"
#include "WindowDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

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

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

QString now()
{
    return QString::number(QDateTime::currentMSecsSinceEpoch());
}

QMessageBox *alertSaying(const WindowDriver &driver, const QString &headline)
{
    auto *alert = qobject_cast<QMessageBox *>(driver.openDialog());
    return alert && alert->text() == headline ? alert : nullptr;
}

bool isUpdateNotice(const QMessageBox *alert)
{
    return alert && alert->informativeText() == QStringLiteral("为了您更好了体验，请更新至最新版本。");
}

// Picks the installer and the drive, confirms, and sees the run through to its result; false when that goes
// wrong.
bool makeDrive(MainViewController &window, WindowDriver &driver, const QString &installer,
               const QString &drive)
{
    QTest::mouseClick(window.selectMacOSButton, Qt::LeftButton);
    if (!WindowDriver::chooseInPicker(driver.waitForPicker(), installer, QStringLiteral("选择")))
        return false;
    QComboBox *popUp = window.diskListPopUpButton;
    if (!WindowDriver::waitFor([&] { return popUp->findText(drive) >= 0 && !window.checkingChoices(); },
                               10000))
        return false;
    popUp->setCurrentIndex(popUp->findText(drive));
    window.selectDiskAction();
    if (!WindowDriver::waitFor([&] { return window.makeMacOSButton->isEnabled(); }, 10000))
        return false;
    QTest::mouseClick(window.makeMacOSButton, Qt::LeftButton);
    if (!WindowDriver::clickButton(driver.waitForAlert(), QStringLiteral("立刻创建")))
        return false;

    bool quitByKey = false, quitBySignal = false;
    QMessageBox *result = nullptr;
    const bool ended = WindowDriver::waitFor(
        [&] {
            auto *open = qobject_cast<QMessageBox *>(driver.openDialog());
            if (isUpdateNotice(open)) {
                say(QStringLiteral("early notice"));
                return true;
            }
            if (QMessageBox *ask = alertSaying(driver, QStringLiteral("确定要取消创建吗？"))) {
                say(QStringLiteral("asked"));
                WindowDriver::clickButton(ask, QStringLiteral("继续创建"));
                return false;
            }
            const bool copying =
                !open && window.circularProgress->isVisible() && window.circularProgress->progress() > 0.05;
            if (copying && !quitByKey) {
                quitByKey = true;
                window.activateWindow();
                QTest::keyClick(window.windowHandle(), Qt::Key_Q, Qt::ControlModifier);
            } else if (copying && !quitBySignal && window.circularProgress->progress() > 0.3) {
                quitBySignal = true;
                ::kill(::getpid(), SIGTERM);
            }
            result = open && open->text().startsWith(QStringLiteral("macOS引导安装器")) ? open : nullptr;
            return result != nullptr;
        },
        180000);
    if (!ended || !result)
        return false;
    say(QStringLiteral("result ") + now() + QLatin1Char(' ') + result->text());
    WindowDriver::clickButton(result, QStringLiteral("暂不安装"));
    say(QStringLiteral("dismissed ") + now());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    LinkPrinter printer;
    if (!arguments.contains(QStringLiteral("--no-browser")))
        for (const char *scheme : {"https", "http", "file", "javascript", "data", "smb", ""})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &printer, "open");
    MainViewController window;
    window.viewDidLoad();
    window.show();
    window.closeOnStopSignals();
    WindowDriver driver(window);
    if (const qsizetype create = arguments.indexOf(QStringLiteral("--create"));
        create >= 0 && !makeDrive(window, driver, arguments.value(create + 1), arguments.value(create + 2))) {
        say(QStringLiteral("the run went wrong"));
        return 5;
    }
    QMessageBox *notice = driver.waitForAlert(10000);
    if (!isUpdateNotice(notice) || notice->text() != QStringLiteral("温馨提示")) {
        say(QStringLiteral("no update notice"));
        return 3;
    }
    say(QStringLiteral("notice %1 | %2 at %3")
            .arg(notice->informativeText(),
                 notice->findChildren<QAbstractButton *>().size() == 1 ? QStringLiteral("one button")
                                                                       : QStringLiteral("buttons"),
                 now()));
    say(QStringLiteral("answered ") + now());
    WindowDriver::clickButton(notice, QStringLiteral("下载新版本"));
    // Without a browser the window gives the address; it is read, and answered after a while, during which
    // the application must not end.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QMessageBox *link = alertSaying(driver, QStringLiteral("无法打开链接"))) {
            watch.stop();
            auto *address = link->findChild<QLabel *>(QStringLiteral("alertDetailLabel"));
            say(QStringLiteral("link alert ") + (address ? address->text() : QString()));
            QTimer::singleShot(1500, link, [link] {
                say(QStringLiteral("link answered ") + now());
                WindowDriver::clickButton(link, QStringLiteral("确定"));
            });
        }
    });
    watch.start(20);
    // The application must end by itself; a safety net turns a hang into a distinct status.
    QTimer::singleShot(10000, [] { QCoreApplication::exit(4); });
    return QApplication::exec();
}

#include "UpdateNoticeProbe.moc"
