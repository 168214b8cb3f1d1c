// What a first-time user is told: where a drive has to be for the window to offer it, why the start button
// is disabled, what a run is doing and how long it has left, how to stop it, and when the drive can go.

#include "Platform/Text/Localization.h"
#include "Platform/Volumes/DeviceMonitor.h"
#include "UI/OtherDrivesPanel.h"
#include "WindowFixture.h"
#include "support/ChildRun.h"
#include "support/DriveSetup.h"
#include "support/SampleInstaller.h"
#include "support/ToolsOnPath.h"
#include "support/Unprivileged.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <sys/mount.h>

using testsupport::LoopDrive;
using testsupport::SampleInstaller;
using testsupport::ToolsOnPath;
using testsupport::Unprivileged;

namespace {

QRect inWindow(const QWidget *widget, const QWidget *window)
{
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

void press(Qt::Key key)
{
    ASSERT_TRUE(QApplication::activeWindow());
    QTest::keyClick(QApplication::activeWindow()->windowHandle(), key);
}

// What is cut off or covered in the window: every visible label, button and pop-up must be as tall as it
// needs (a wrapping label as its text needs at its width), lie inside the window or inside the widget a
// scroll area scrolls, and overlap no other.
QStringList layoutFaults(QWidget *window)
{
    struct Shown
    {
        QWidget *widget;
        QWidget *frame; // the window, or the content of the scroll area it is in
        QRect rect;     // in the frame
    };
    QList<Shown> shown;
    QStringList faults;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        auto *label = qobject_cast<QLabel *>(widget);
        if ((!label && !qobject_cast<QAbstractButton *>(widget) && !qobject_cast<QComboBox *>(widget)) ||
            !widget->isVisible() || widget->window() != window || widget->objectName() == "bgImageView")
            continue;
        QWidget *frame = window;
        for (QWidget *up = widget->parentWidget(); up && up != window; up = up->parentWidget())
            if (auto *area = qobject_cast<QAbstractScrollArea *>(up->parentWidget());
                area && up == area->viewport()) {
                frame = up;
                break;
            }
        const QString name = widget->objectName() + " “" +
                             (label ? label->text() : widget->property("text").toString()).left(30) + "”";
        const int needed =
            label && label->wordWrap() ? label->heightForWidth(label->width()) : widget->sizeHint().height();
        if (widget->height() < needed)
            faults << QString("%1 is %2 px tall of %3").arg(name).arg(widget->height()).arg(needed);
        const QRect rect(widget->mapTo(frame, QPoint(0, 0)), widget->size());
        // In a scroll area the item may lie outside what is in view; it must lie inside its own parent.
        const QRect within = frame == window ? window->rect() : widget->parentWidget()->rect();
        const QRect own(frame == window ? rect.topLeft() : widget->pos(), widget->size());
        if (!within.contains(own))
            faults << name + " lies outside";
        for (const Shown &other : std::as_const(shown))
            if (other.frame == frame && other.rect.intersects(rect) && !other.widget->isAncestorOf(widget) &&
                !widget->isAncestorOf(other.widget))
                faults << name + " overlaps " + other.widget->objectName();
        shown << Shown{widget, frame, rect};
    }
    return faults;
}

} // namespace

// A stick mounted where a desktop mounts it is not offered: the window says how to get a drive, names the
// stick with where it is, and its button mounts it below /Volumes, where it joins the drive list and the
// keyboard's focus goes on to the drive pop-up.
TEST(Guidance, WithNoDriveTheWindowSaysHowToGetOneAndMountsOneFromElsewhere)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "1M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    LOOP_DRIVE(stick, "STICK", 64 * 1024 * 1024, false);

    Window w;
    auto &c = w.controller;
    ASSERT_TRUE(testsupport::waitUntil([&] { return c.driveHintLabel->isVisible(); }));
    EXPECT_TRUE(c.driveHintLabel->text().contains("/Volumes")) << c.driveHintLabel->text().toStdString();
    EXPECT_FALSE(c.otherDrivesPanel->isVisible());
    EXPECT_EQ(c.diskListPopUpButton->currentText(), "");
    EXPECT_EQ(c.diskListPopUpButton->placeholderText(), "没有可用的驱动器");
    EXPECT_EQ(c.startHintLabel->text(), "请先选择系统安装文件。");
    w.chooseInstaller(installer.path());
    EXPECT_EQ(c.startHintLabel->text(), "请先插入并装载一个 U 盘。");
    EXPECT_FALSE(c.makeMacOSButton->isEnabled());

    // The desktop mounts the stick (loop devices are never removable to the kernel: the test names it so).
    qputenv("BOOTDRIVE_REMOVABLE_DEVICES", stick.device().toUtf8());
    QTemporaryDir media;
    const QString desktopMount = media.path() + "/STICK";
    ASSERT_TRUE(QDir().mkpath(desktopMount));
    ASSERT_EQ(::mount(QFile::encodeName(stick.device()).constData(),
                      QFile::encodeName(desktopMount).constData(), "ext4", 0, nullptr),
              0);
    ASSERT_TRUE(testsupport::waitUntil([&] { return c.otherDrivesPanel->isVisible(); }, 5000));
    auto *label = c.otherDrivesPanel->findChild<QLabel *>("otherDriveLabel");
    auto *mount = c.otherDrivesPanel->findChild<QPushButton *>("mountButton");
    ASSERT_TRUE(label && mount);
    EXPECT_TRUE(label->text().startsWith("【STICK】已装载在 " + desktopMount + "\n"))
        << label->text().toStdString();
    EXPECT_TRUE(label->text().contains(stick.device())) << label->text().toStdString();
    EXPECT_FALSE(c.driveHintLabel->isVisible()) << "the panel says how to get the drive";
    // From the keyboard the button comes right after the pop-up.
    c.activateWindow();
    ASSERT_TRUE(testsupport::waitUntil([&] { return QApplication::activeWindow() == &c; }, 3000));
    c.diskListPopUpButton->setFocus();
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), mount);
    press(Qt::Key_Return);

    ASSERT_TRUE(
        testsupport::waitUntil([&] { return c.diskListPopUpButton->currentText() == "STICK"; }, 20000))
        << (label ? label->text().toStdString() : std::string());
    EXPECT_EQ(stick.mountPoints(), QStringList{"/Volumes/STICK"}) << "it left where the desktop had it";
    // Once the disk utility has said it is done (the mount itself may be seen first).
    EXPECT_TRUE(
        testsupport::waitUntil([&] { return QApplication::focusWidget() == c.diskListPopUpButton; }, 5000))
        << "the keyboard goes on to pick it";
    w.settle();
    EXPECT_TRUE(testsupport::waitUntil([&] { return !c.otherDrivesPanel->isVisible(); }, 5000));
    EXPECT_FALSE(c.driveHintLabel->isVisible());
    EXPECT_TRUE(c.makeMacOSButton->isEnabled());
    EXPECT_EQ(c.startHintLabel->text(), "");
    // The pop-up's rows tell drives apart by device and size.
    EXPECT_TRUE(c.diskListPopUpButton->itemData(0, Qt::AccessibleDescriptionRole)
                    .toString()
                    .contains(stick.device()));
    qunsetenv("BOOTDRIVE_REMOVABLE_DEVICES");
}

// The panel's row that names the device; empty when there is none.
QString rowOf(const OtherDrivesPanel *panel, const QString &device)
{
    for (const QLabel *label : panel->findChildren<QLabel *>("otherDriveLabel"))
        if (label->text().contains(device))
            return label->text();
    return {};
}

// A stick plugged in is named in the panel by its label without being mounted, with no udev daemon to
// record it, and its row goes when it is pulled out: through the kernel's device events, and again with
// them turned off, through the poll. An ordinary user, who may not read the device, sees it by its device
// and why its label is unknown.
TEST(Guidance, APluggedInStickIsNamedInThePanelUntilItIsPulledOut)
{
    if (Unprivileged::isUnprivilegedRun()) {
        const QString device = qEnvironmentVariable("BOOTDRIVE_TEST_DEVICE");
        Window w;
        ASSERT_TRUE(testsupport::waitUntil(
            [&] { return !rowOf(w.controller.otherDrivesPanel, device).isEmpty(); }, 5000));
        EXPECT_EQ(rowOf(w.controller.otherDrivesPanel, device),
                  "【" + device + "】尚未装载\n" + device + " · 32.00 MB\n卷标未知：无权读取该设备");
        return;
    }
    REQUIRE_DRIVES();
    if (!ChildRun::isChild()) {
        // The device monitor is one per process.
        for (const char *events : {"BOOTDRIVE_DEVICE_EVENTS=1", "BOOTDRIVE_DEVICE_EVENTS=0"}) {
            const ChildRun::Result result = ChildRun::runCurrentTest({events});
            EXPECT_EQ(result.exitCode, 0) << events << "\n" << result.output.toStdString();
        }
        if (const QString reason = Unprivileged::skipReason(); !reason.isEmpty())
            GTEST_SKIP() << reason.toStdString();
        LOOP_DRIVE(stick, "UNREADABLE", 32 * 1024 * 1024, false);
        const auto result = Unprivileged::runCurrentTestUnprivileged(
            {"BOOTDRIVE_REMOVABLE_DEVICES=" + stick.device(), "BOOTDRIVE_TEST_DEVICE=" + stick.device()});
        EXPECT_EQ(result.exitCode, 0) << result.output.toStdString();
        return;
    }
    const bool events = qEnvironmentVariable("BOOTDRIVE_DEVICE_EVENTS") != "0";
    LoopDrive stick("PLUGGED", 32 * 1024 * 1024, false);
    ASSERT_TRUE(stick.isValid() && stick.detach()) << stick.error().toStdString();
    Window w;
    OtherDrivesPanel *panel = w.controller.otherDrivesPanel;
    QString device;
    auto plugIn = [&] {
        // Loop devices are never removable to the kernel: the test names the one it gets so.
        return stick.attach([&](const QString &next) {
            device = next;
            qputenv("BOOTDRIVE_REMOVABLE_DEVICES", next.toUtf8());
        });
    };
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(plugIn()) << stick.error().toStdString();
        EXPECT_TRUE(testsupport::waitUntil(
            [&] { return rowOf(panel, device).startsWith("【PLUGGED】尚未装载\n" + device + " · 32.00 MB"); },
            2000))
            << rowOf(panel, device).toStdString();
        if (events && !platform::DeviceMonitor::shared()->followsEvents())
            GTEST_SKIP() << "no kernel device events arrive here; the poll found the stick";
        EXPECT_EQ(platform::DeviceMonitor::shared()->followsEvents(), events);
        ASSERT_TRUE(stick.detach());
        // A test running beside this one may attach its own image to the freed device at once.
        EXPECT_TRUE(
            testsupport::waitUntil([&] { return !rowOf(panel, device).startsWith("【PLUGGED】"); }, 2000))
            << rowOf(panel, device).toStdString();
    }
    qunsetenv("BOOTDRIVE_REMOVABLE_DEVICES");
}

// One run at the pace of a slow stick: the status line names each step with its share, speed and time left,
// and never contradicts the line above it; the heading and the controls stay where they were, the ring covers
// none of them, and the pop-up keeps naming the drive; Escape and the visible cancel button both ask before
// stopping; at the end the line says how to take the drive out, the eject button does it, and the line goes
// once a new installer is chosen.
TEST(Guidance, ARunShowsItsStepAndTimeLeftAndEndsWithTheEject)
{
    REQUIRE_DRIVES();
    ToolsOnPath tools;
    qputenv("CREATEINSTALLMEDIA_RATE_LIMIT", "4");
    SampleInstaller installer("Install macOS Mojave", "10.14.6", "24M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();
    LOOP_DRIVE(drive, "USB", 96 * 1024 * 1024);
    Window w;
    auto &c = w.controller;
    QMessageBox *confirm = w.openConfirmation(installer.path(), "USB");
    ASSERT_TRUE(confirm);
    // The cancel button joins the start button's row: nothing above or beside it moves up or down.
    const QList<QWidget *> steady = {c.findChild<QWidget *>("titleLabel"), c.selectMacOSButton,
                                     c.diskListPopUpButton, c.makeMacOSButton};
    QList<QRect> before;
    for (QWidget *control : steady)
        before << inWindow(control, &c);
    ASSERT_TRUE(WindowDriver::clickButton(confirm, "立刻创建"));
    EXPECT_TRUE(c.cancelRunButton->isVisible());
    // The tips line names the phase; the status line may only say what happens in it.
    const auto agree = [](const QString &tips, const QString &status) {
        if (tips == "正在格式化驱动器，请耐心等待...")
            return status.isEmpty() || status.startsWith("第 1 步");
        if (tips == "等待授权...")
            return status.startsWith("第 2 步，共 3 步：等待管理员授权") ||
                   status.startsWith("第 2 步，共 3 步：正在启动制作工具");
        if (tips == "正在校验...")
            return status.startsWith("第 3 步");
        return tips.isEmpty();
    };
    QStringList contradictions;

    const QRegularExpression copying(
        QStringLiteral("^第 2 步，共 3 步：正在写入安装器 \\d+% · [\\d.]+ [KMG]B/s · 剩余"));
    QStringList lines;
    bool escapeAsked = false, ringChecked = false;
    QMessageBox *result = nullptr;
    ASSERT_TRUE(WindowDriver::waitFor(
        [&] {
            const QString line = c.statusLabel->text();
            if (!line.isEmpty() && !lines.contains(line))
                lines << line;
            QWidget *open = w.driver.openDialog();
            const bool running = c.cancelRunButton->isVisible();
            if (running && !open && !agree(c.tipsLabel->text(), line))
                contradictions << c.tipsLabel->text() + " / " + line;
            QComboBox *popUp = c.diskListPopUpButton;
            const QString shown = popUp->currentIndex() < 0 ? popUp->placeholderText() : popUp->currentText();
            if (running && (shown.isEmpty() || shown == "没有可用的驱动器" || shown == "请选择目标驱动器") &&
                !contradictions.contains("pop-up: " + shown))
                contradictions << "pop-up: " + shown;
            for (qsizetype i = 0; i < steady.size(); ++i)
                if (const QString moved = steady[i]->objectName() + " moved or went";
                    running &&
                    (!steady[i]->isVisible() || inWindow(steady[i], &c).top() != before[i].top() ||
                     steady[i]->height() != before[i].height()) &&
                    !contradictions.contains(moved))
                    contradictions << moved;
            if (!ringChecked && c.circularProgress->isVisible() && c.circularProgress->progress() > 0.1) {
                ringChecked = true;
                const QRect ring = inWindow(c.circularProgress, &c);
                for (QWidget *control :
                     {static_cast<QWidget *>(c.macOSInfoLabel), static_cast<QWidget *>(c.diskListPopUpButton),
                      static_cast<QWidget *>(c.makeMacOSButton), static_cast<QWidget *>(c.cancelRunButton),
                      static_cast<QWidget *>(c.statusLabel)})
                    EXPECT_FALSE(ring.intersects(inWindow(control, &c)))
                        << control->objectName().toStdString();
                EXPECT_FALSE(c.addImageView->isVisible()) << "nothing shows through the ring";
            }
            if (!escapeAsked && ringChecked && !open) {
                escapeAsked = true;
                c.activateWindow();
                EXPECT_TRUE(testsupport::waitUntil([&] { return QApplication::activeWindow() == &c; }, 3000));
                press(Qt::Key_Escape);
                QMessageBox *ask = w.alertWithText("确定要取消创建吗？", 5000);
                EXPECT_TRUE(ask);
                if (ask) {
                    EXPECT_TRUE(WindowDriver::clickButton(ask, "继续创建"));
                }
                return false;
            }
            result = qobject_cast<QMessageBox *>(open);
            return result != nullptr;
        },
        180000));
    qunsetenv("CREATEINSTALLMEDIA_RATE_LIMIT");
    EXPECT_TRUE(escapeAsked && ringChecked);
    EXPECT_TRUE(contradictions.isEmpty()) << contradictions.join(" | ").toStdString();
    EXPECT_EQ(c.startHintLabel->text(), "") << "nothing is missing right after a drive was made";
    EXPECT_EQ(result->text(), "macOS引导安装器创建完成") << result->informativeText().toStdString();
    EXPECT_TRUE(lines.contains("第 1 步，共 3 步：正在格式化驱动器…")) << lines.join(" | ").toStdString();
    EXPECT_TRUE(lines.filter(copying).size() >= 1) << lines.join(" | ").toStdString();
    EXPECT_FALSE(lines.filter(QStringLiteral("第 3 步，共 3 步：正在校验")).isEmpty())
        << lines.join(" | ").toStdString();
    EXPECT_FALSE(c.cancelRunButton->isVisible());

    ASSERT_TRUE(WindowDriver::clickButton(result, "暂不安装"));
    EXPECT_EQ(c.statusLabel->text(),
              "驱动器【Install macOS Mojave】已制作完成。请先推出驱动器，再将其拔出。");
    ASSERT_TRUE(c.ejectButton->isVisible());
    QTest::mouseClick(c.ejectButton, Qt::LeftButton);
    ASSERT_TRUE(testsupport::waitUntil([&] { return !c.ejectButton->isVisible(); }, 20000))
        << c.statusLabel->text().toStdString();
    EXPECT_EQ(c.statusLabel->text(), "现在可以安全地拔出驱动器【Install macOS Mojave】。");
    EXPECT_TRUE(drive.mountPoint().isEmpty()) << "no mount of the drive is left";
    EXPECT_TRUE(testsupport::waitUntil([&] { return c.diskListPopUpButton->count() == 0; }));
    w.chooseInstaller(installer.path());
    EXPECT_EQ(c.statusLabel->text(), "") << "the finished drive's line goes once the user starts anew";
}

// At 2560 px the controls keep a readable width and the start button stays under them; the "+" tile, which
// looks like a place to drop an installer, opens the picker.
TEST(Guidance, AWideWindowKeepsItsControlsTogetherAndThePlusTileChooses)
{
    Window w;
    auto &c = w.controller;
    c.resize(2560, 1300);
    testsupport::spin(100);
    EXPECT_LE(c.diskListPopUpButton->width(), 560);
    EXPECT_LE(c.makeMacOSButton->width(), 560);
    const int gap = inWindow(c.makeMacOSButton, &c).top() - inWindow(c.diskListPopUpButton, &c).bottom();
    EXPECT_GT(gap, 0);
    EXPECT_LT(gap, 120);

    QTest::mouseClick(c.addImageView, Qt::LeftButton);
    OpenPanel *picker = w.driver.waitForPicker();
    ASSERT_TRUE(picker);
    picker->reject();
}

// Nothing is ever cut off or covered. On a 1280 × 800 screen, at 1× and 2×, in both languages, the window
// opens no larger than the screen gives and can be made as small as 640 × 400; at its smallest and at the
// size it opens with, with none, one and three drives elsewhere, at rest, during a run and after its
// result, the panels scroll rather than clip.
TEST(Guidance, NothingIsCutOffOrCoveredAtAnySizeTheScreenAllows)
{
    REQUIRE_DRIVES();
    if (!ChildRun::isChild()) {
        QTemporaryDir folder;
        QFile screen(folder.filePath("screen.json"));
        ASSERT_TRUE(screen.open(QIODevice::WriteOnly));
        screen.write(R"({"screens": [{"name": "1280x800", "x": 0, "y": 0, "width": 1280, "height": 800,)"
                     R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        screen.close();
        for (const char *language : {"LANG=zh_CN.UTF-8", "LANG=en_US.UTF-8"})
            for (const char *scale : {"QT_SCALE_FACTOR=1", "QT_SCALE_FACTOR=2"}) {
                const ChildRun::Result result = ChildRun::runCurrentTest(
                    {language, scale, "QT_QPA_PLATFORM=offscreen:configfile=" + screen.fileName(),
                     "CREATEINSTALLMEDIA_RATE_LIMIT=4"});
                EXPECT_EQ(result.exitCode, 0) << language << " " << scale << "\n"
                                              << result.output.toStdString();
            }
        return;
    }
    platform::Localization::installInterfaceTranslations();
    const bool english =
        platform::Localization::languageFor(QLocale::system()) == platform::Localization::Language::English;
    ToolsOnPath tools;
    DRIVE_AND_INSTALLER(("USB", 64 * 1024 * 1024), ("Install macOS Mojave", "10.14.6", "8M"));
    QTemporaryDir media;
    std::vector<std::unique_ptr<LoopDrive>> elsewhere;
    QStringList removable;

    MainViewController window;
    window.viewDidLoad();
    window.show();
    const QSize room = window.screen()->availableGeometry().size();
    EXPECT_TRUE(room.width() >= window.width() && room.height() >= window.height())
        << window.width() << "×" << window.height() << " on " << room.width() << "×" << room.height();
    EXPECT_TRUE(window.minimumWidth() <= 640 && window.minimumHeight() <= 400);
    const QSize opening = window.size();
    QStringList faults;
    const auto check = [&](const QString &when) {
        for (const QSize &size : {window.minimumSize(), opening}) {
            window.resize(size);
            testsupport::spin(60);
            for (const QString &fault : layoutFaults(&window))
                faults
                    << QString("%1 at %2×%3: %4").arg(when).arg(size.width()).arg(size.height()).arg(fault);
        }
    };
    ASSERT_TRUE(testsupport::waitUntil([&] { return window.isLoaded(); }));
    testsupport::spin(400);
    check("no drive elsewhere");
    for (const char *name : {"STICK A", "STICK B", "STICK C"}) {
        // Plugged in and mounted where a desktop mounts sticks: the panel lists it.
        elsewhere.push_back(std::make_unique<LoopDrive>(name, 16 * 1024 * 1024, false));
        LoopDrive &stick = *elsewhere.back();
        ASSERT_TRUE(stick.isValid()) << stick.error().toStdString();
        removable << stick.device();
        qputenv("BOOTDRIVE_REMOVABLE_DEVICES", removable.join(',').toUtf8());
        const size_t count = elsewhere.size();
        const QString at = media.filePath(stick.name());
        QDir().mkpath(at);
        ASSERT_EQ(::mount(QFile::encodeName(stick.device()).constData(), QFile::encodeName(at).constData(),
                          "ext4", 0, nullptr),
                  0);
        ASSERT_TRUE(
            testsupport::waitUntil([&] { return window.otherDrivesPanel->drives().size() == count; }, 5000));
        if (count != 2)
            check(QString("%1 drives elsewhere").arg(count));
    }

    QTest::mouseClick(window.selectMacOSButton, Qt::LeftButton);
    WindowDriver driver(window);
    ASSERT_TRUE(
        WindowDriver::chooseInPicker(driver.waitForPicker(), installer.path(), english ? "Choose" : "选择"));
    QComboBox *popUp = window.diskListPopUpButton;
    ASSERT_TRUE(testsupport::waitUntil([&] { return popUp->findText("USB") >= 0; }));
    popUp->setCurrentIndex(popUp->findText("USB"));
    window.selectDiskAction();
    ASSERT_TRUE(testsupport::waitUntil([&] { return window.makeMacOSButton->isEnabled(); }, 10000));
    check("choices made");
    QTest::mouseClick(window.makeMacOSButton, Qt::LeftButton);
    ASSERT_TRUE(WindowDriver::clickButton(driver.waitForAlert(), english ? "Create Now" : "立刻创建"));
    ASSERT_TRUE(WindowDriver::waitFor(
        [&] { return window.circularProgress->isVisible() && window.circularProgress->progress() > 0.05; },
        60000));
    check("during the run");
    QMessageBox *result = nullptr;
    ASSERT_TRUE(WindowDriver::waitFor(
        [&] { return (result = qobject_cast<QMessageBox *>(driver.openDialog())) != nullptr; }, 120000));
    check("under the result");
    ASSERT_TRUE(WindowDriver::clickButton(result, english ? "Not Now" : "暂不安装"));
    testsupport::spin(100);
    check("after the result");
    EXPECT_TRUE(faults.isEmpty()) << faults.join("\n").toStdString();
    qunsetenv("BOOTDRIVE_REMOVABLE_DEVICES");
}
