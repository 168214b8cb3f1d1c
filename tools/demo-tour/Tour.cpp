#include "Tour.h"

#include "Common/CircularProgress/CircularProgress.h"
#include "Platform/Views/OpenPanel.h"
#include "UI/MainViewController.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <cstdio>

Tour::Tour(MainViewController &window, QDir output) : m_window(window), m_output(std::move(output)) {}

bool Tour::waitFor(const std::function<bool()> &condition, int timeoutMs, const QString &what)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) {
            m_failure = QStringLiteral("timed out waiting for %1").arg(what);
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(10);
    }
    return true;
}

QWidget *Tour::openDialog() const
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->isVisible() && widget != &m_window &&
            (qobject_cast<QMessageBox *>(widget) || qobject_cast<platform::OpenPanel *>(widget)))
            return widget;
    return nullptr;
}

bool Tour::clickButton(QWidget *dialog, const QString &text)
{
    for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>())
        if (button->isVisible() && button->text() == text) {
            QTest::mouseClick(button, Qt::LeftButton);
            return true;
        }
    m_failure = QStringLiteral("no button \"%1\"").arg(text);
    return false;
}

void Tour::screenshot(const QString &name)
{
    QApplication::processEvents();
    // A window-modal dialog is drawn over the window like a sheet: centred, near the top.
    QPixmap shot = m_window.grab();
    if (QWidget *dialog = openDialog()) {
        const QPixmap sheet = dialog->grab();
        QPainter painter(&shot);
        painter.fillRect(shot.rect(), QColor(0, 0, 0, 60));
        const QPoint at((m_window.width() - dialog->width()) / 2, 24);
        painter.drawPixmap(at, sheet);
        painter.setPen(QColor(0, 0, 0, 90));
        painter.drawRect(QRect(at, dialog->size()).adjusted(0, 0, -1, -1));
    }
    const QString file =
        m_output.filePath(QStringLiteral("%1-%2.png").arg(++m_shots, 2, 10, QLatin1Char('0')).arg(name));
    shot.save(file);
    std::printf("  %s\n", qPrintable(file));
    std::fflush(stdout);
}

bool Tour::run(const QString &installerPath, const QString &driveName)
{
    if (!waitFor([&] { return m_window.diskListPopUpButton->count() > 0; }, 5000,
                 QStringLiteral("the drive list")))
        return false;
    QTest::qWait(300);
    screenshot(QStringLiteral("launch"));

    // The installer picker: type the bundle's path and choose it.
    QTest::mouseClick(m_window.selectMacOSButton, Qt::LeftButton);
    if (!waitFor([&] { return qobject_cast<platform::OpenPanel *>(openDialog()) != nullptr; }, 5000,
                 QStringLiteral("the installer picker")))
        return false;
    auto *panel = qobject_cast<platform::OpenPanel *>(openDialog());
    panel->setDirectory(QFileInfo(installerPath).absolutePath());
    QTest::keyClicks(panel->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")),
                     QFileInfo(installerPath).fileName());
    QTest::qWait(300);
    screenshot(QStringLiteral("picker"));
    if (!clickButton(panel, QStringLiteral("选择")))
        return false;
    if (!waitFor([&] { return !m_window.macOSInfoLabel->text().isEmpty(); }, 5000,
                 QStringLiteral("the installer")))
        return false;

    // The drive pop-up, by keyboard as a person would.
    QComboBox *popUp = m_window.diskListPopUpButton;
    const int target = popUp->findText(driveName);
    if (target < 0) {
        m_failure = QStringLiteral("the drive %1 is not listed").arg(driveName);
        return false;
    }
    popUp->setFocus();
    while (popUp->currentIndex() != target)
        QTest::keyClick(popUp, popUp->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    if (popUp->currentIndex() == 0)
        QTest::keyClick(popUp, Qt::Key_Down), QTest::keyClick(popUp, Qt::Key_Up);
    if (!waitFor([&] { return m_window.makeMacOSButton->isEnabled(); }, 3000,
                 QStringLiteral("the start button")))
        return false;
    screenshot(QStringLiteral("ready"));

    QTest::mouseClick(m_window.makeMacOSButton, Qt::LeftButton);
    if (!waitFor([&] { return qobject_cast<QMessageBox *>(openDialog()) != nullptr; }, 5000,
                 QStringLiteral("the confirmation")))
        return false;
    screenshot(QStringLiteral("confirm"));
    if (!clickButton(openDialog(), QStringLiteral("立刻创建")))
        return false;
    screenshot(QStringLiteral("erasing"));

    if (!waitFor([&] { return m_window.tipsLabel->text() == QStringLiteral("等待授权..."); }, 60000,
                 QStringLiteral("the authorisation")))
        return false;
    screenshot(QStringLiteral("authorizing"));

    if (!waitFor(
            [&] {
                return m_window.circularProgress->isVisible() && m_window.circularProgress->progress() > 0.2;
            },
            300000, QStringLiteral("progress")))
        return false;
    QTest::qWait(700);
    screenshot(QStringLiteral("progress"));

    if (!waitFor(
            [&] {
                auto *alert = qobject_cast<QMessageBox *>(openDialog());
                return alert && alert->text().contains(QStringLiteral("创建"));
            },
            300000, QStringLiteral("the result")))
        return false;
    QTest::qWait(600); // let the ring finish its last animation and show the checkmark
    auto *result = qobject_cast<QMessageBox *>(openDialog());
    const bool succeeded = result->text() == QStringLiteral("macOS引导安装器创建完成");
    screenshot(succeeded ? QStringLiteral("success") : QStringLiteral("failure"));
    if (!clickButton(result, succeeded ? QStringLiteral("暂不安装") : QStringLiteral("确定")))
        return false;
    QTest::qWait(300);
    screenshot(QStringLiteral("done"));
    if (!succeeded)
        m_failure = QStringLiteral("the job reported a failure");
    return succeeded;
}
