#include "Tour.h"

#include "Common/CircularProgress/CircularProgress.h"
#include "UI/CollectionView.h"
#include "UI/MainViewController.h"
#include "UI/OtherDrivesPanel.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <cstdio>

namespace {

// The window's texts in the language it shows.
QString ui(const char *text)
{
    return QCoreApplication::translate("MainViewController", text);
}

} // namespace

Tour::Tour(MainViewController &window, QDir output)
    : m_window(window), m_driver(window), m_output(std::move(output))
{}

bool Tour::step(bool ok, const QString &what)
{
    if (!ok && m_failure.isEmpty())
        m_failure = what;
    return ok;
}

void Tour::screenshot(const QString &name)
{
    const QString file =
        m_output.filePath(QStringLiteral("%1-%2.png").arg(++m_shots, 2, 10, QLatin1Char('0')).arg(name));
    m_driver.screenshot().save(file);
    std::printf("  %s\n", qPrintable(file));
    std::fflush(stdout);
}

bool Tour::run(const QString &installerPath, const QString &wantedDrive)
{
    auto &w = m_window;
    QString driveName = wantedDrive;
    // The catalog arrives from the service on its own; give it and its logos a moment.
    WindowDriver::waitFor([&] { return w.collectionView->numberOfItems() > 0; }, 5000);
    // A drive mounted where a desktop mounts it is not offered yet: the window says how to get one and
    // offers to mount it below /Volumes.
    if (WindowDriver::waitFor([&] { return w.otherDrivesPanel->isVisible(); }, 3000) &&
        w.diskListPopUpButton->count() == 0) {
        QTest::qWait(800);
        screenshot(QStringLiteral("no-drive"));
        auto *mount = w.otherDrivesPanel->findChild<QPushButton *>(QStringLiteral("mountButton"));
        if (!step(mount != nullptr, "no mount button"))
            return false;
        QTest::mouseClick(mount, Qt::LeftButton);
        if (!step(WindowDriver::waitFor([&] { return w.diskListPopUpButton->count() > 0; }, 30000),
                  "the drive was not mounted below /Volumes"))
            return false;
        // Mounted, the drive is called by its label.
        if (w.diskListPopUpButton->findText(driveName) < 0)
            driveName = w.diskListPopUpButton->itemText(0);
    }
    if (!step(WindowDriver::waitFor([&] { return w.diskListPopUpButton->count() > 0; }, 5000),
              "no drive list"))
        return false;
    QTest::qWait(800);
    screenshot(QStringLiteral("launch"));

    QTest::mouseClick(w.selectMacOSButton, Qt::LeftButton);
    OpenPanel *panel = m_driver.waitForPicker();
    if (!step(panel != nullptr, "no installer picker"))
        return false;
    screenshot(QStringLiteral("picker"));
    if (!step(WindowDriver::chooseInPicker(panel, installerPath, ui("选择")),
              "cannot choose the installer") ||
        !step(WindowDriver::waitFor([&] { return !w.macOSInfoLabel->text().isEmpty(); }, 5000),
              "installer refused"))
        return false;

    // The drive pop-up, by keyboard as a person would.
    QComboBox *popUp = w.diskListPopUpButton;
    const int target = popUp->findText(driveName);
    if (!step(target >= 0, QStringLiteral("the drive %1 is not listed").arg(driveName)))
        return false;
    popUp->setFocus();
    if (popUp->currentIndex() == target && popUp->count() > 1)
        QTest::keyClick(popUp, target == 0 ? Qt::Key_Down : Qt::Key_Up);
    while (popUp->currentIndex() != target)
        QTest::keyClick(popUp, popUp->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    if (!step(WindowDriver::waitFor([&] { return w.makeMacOSButton->isEnabled(); }, 3000),
              "start button disabled"))
        return false;
    screenshot(QStringLiteral("ready"));

    QTest::mouseClick(w.makeMacOSButton, Qt::LeftButton);
    QMessageBox *confirm = m_driver.waitForAlert();
    if (!step(confirm != nullptr, "no confirmation"))
        return false;
    screenshot(QStringLiteral("confirm"));
    if (!step(WindowDriver::clickButton(confirm, ui("立刻创建")), "no button to confirm"))
        return false;
    screenshot(QStringLiteral("erasing"));

    // As root the rights are granted at once: the phase can be over between two looks at the window.
    const auto authorizing = [&] { return w.tipsLabel->text() == ui("等待授权..."); };
    if (!step(
            WindowDriver::waitFor([&] { return authorizing() || w.circularProgress->progress() > 0; }, 60000),
            "no authorisation phase"))
        return false;
    if (authorizing())
        screenshot(QStringLiteral("authorizing"));

    if (!step(WindowDriver::waitFor(
                  [&] { return w.circularProgress->isVisible() && w.circularProgress->progress() > 0.05; },
                  300000),
              "no progress"))
        return false;
    // Once the copy's speed is measured the status line also tells the time left.
    WindowDriver::waitFor([&] { return w.statusLabel->text().contains(QStringLiteral(" · ")); }, 10000);
    QTest::qWait(250); // the ring animates to the new value
    screenshot(QStringLiteral("progress"));

    // The copy is read back from the drive and compared before the ring may fill.
    QMessageBox *result = nullptr;
    WindowDriver::waitFor(
        [&] {
            result = qobject_cast<QMessageBox *>(m_driver.openDialog());
            return result || w.tipsLabel->text() == ui("正在校验...");
        },
        300000);
    if (!result)
        screenshot(QStringLiteral("verifying"));
    if (!step(WindowDriver::waitFor(
                  [&] {
                      result = qobject_cast<QMessageBox *>(m_driver.openDialog());
                      return result && (result->text() == ui("macOS引导安装器创建完成") ||
                                        result->text() == ui("macOS引导安装器创建失败"));
                  },
                  300000),
              "no result"))
        return false;
    QTest::qWait(600); // the ring finishes its last animation and shows the checkmark
    const bool succeeded = result->text() == ui("macOS引导安装器创建完成");
    screenshot(succeeded ? QStringLiteral("success") : QStringLiteral("failure"));
    WindowDriver::clickButton(result, succeeded ? ui("暂不安装") : ui("确定"));
    QTest::qWait(300);
    screenshot(QStringLiteral("done"));
    return step(succeeded, "the job reported a failure");
}
