// The computer stays awake while a job runs, and its result reaches the desktop when the user is elsewhere:
// against recording stand-ins for logind, the power-management and GNOME session inhibitors and the
// notification service, on buses of the test's own.

#include "Platform/Desktop/DesktopNotifier.h"
#include "Platform/Desktop/SleepInhibitor.h"
#include "PrivateBuses.h"
#include "RecordingService.h"
#include "WindowFixture.h"
#include "support/DriveSetup.h"
#include "support/SampleInstaller.h"
#include "support/ToolsOnPath.h"

#include <QDBusUnixFileDescriptor>
#include <QEnterEvent>
#include <QMutex>
#include <QThread>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <unistd.h>

using testsupport::LoopDrive;
using testsupport::SampleInstaller;
using testsupport::ToolsOnPath;
using Backend = platform::SleepInhibitor::Backend;

namespace {

// Qt connects to a bus once per process, so the buses must be there before any test touches D-Bus.
class BusEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { PrivateBuses::start(); }
};
::testing::Environment *const busEnvironment = ::testing::AddGlobalTestEnvironment(new BusEnvironment);

#define REQUIRE_BUSES()                                                                                      \
    if (const QString reason = PrivateBuses::start(); !reason.isEmpty())                                     \
    GTEST_SKIP() << reason.toStdString()

// logind's manager: Inhibit answers the write end of a pipe whose read end the stand-in keeps, so the test
// sees a lock end when the last copy of the descriptor it handed out is closed.
class LogindStandIn
{
public:
    explicit LogindStandIn(bool answers = true, unsigned long delayMs = 0)
    {
        if (answers)
            service.answer("Inhibit", [this, delayMs](const QDBusMessage &) {
                QThread::msleep(delayMs);
                int fds[2];
                if (::pipe2(fds, O_CLOEXEC) != 0)
                    return QVariantList{};
                const QDBusUnixFileDescriptor writeEnd(fds[1]);
                ::close(fds[1]);
                QMutexLocker locker(&m_lock);
                m_readEnds << fds[0];
                return QVariantList{QVariant::fromValue(writeEnd)};
            });
    }
    ~LogindStandIn()
    {
        for (int fd : m_readEnds)
            ::close(fd);
    }
    int locks() const
    {
        QMutexLocker locker(&m_lock);
        return static_cast<int>(m_readEnds.size());
    }
    // Whether the lock handed out as the index-th is still held by somebody.
    bool isHeld(int index) const
    {
        QMutexLocker locker(&m_lock);
        pollfd end{m_readEnds.value(index, -1), POLLIN, 0};
        return end.fd >= 0 && ::poll(&end, 1, 0) == 0;
    }

private:
    mutable QMutex m_lock;
    QList<int> m_readEnds;

public:
    RecordingService service{QDBusConnection::SystemBus, "org.freedesktop.login1", "/org/freedesktop/login1"};
};

// The session inhibitors answer a cookie.
std::unique_ptr<RecordingService> cookieInhibitor(const QString &service, const QString &path, uint cookie)
{
    auto inhibitor = std::make_unique<RecordingService>(QDBusConnection::SessionBus, service, path);
    inhibitor->answer("Inhibit", [cookie](const QDBusMessage &) { return QVariantList{cookie}; });
    return inhibitor;
}

std::unique_ptr<RecordingService> powerManagement()
{
    return cookieInhibitor("org.freedesktop.PowerManagement", "/org/freedesktop/PowerManagement/Inhibit", 17);
}

std::unique_ptr<RecordingService> gnomeSession()
{
    return cookieInhibitor("org.gnome.SessionManager", "/org/gnome/SessionManager", 23);
}

// The window with the user elsewhere, or back at it.
class OtherWindow
{
public:
    void activate()
    {
        m_widget.show();
        m_widget.activateWindow();
        testsupport::waitUntil([&] { return QApplication::activeWindow() == &m_widget; }, 3000);
    }

private:
    QWidget m_widget;
};

bool isActive(const QWidget &window)
{
    for (const QWidget *active = QApplication::activeWindow(); active; active = active->parentWidget())
        if (active == &window)
            return true;
    return false;
}

} // namespace

// Logind first, then the freedesktop power-management inhibitor, then GNOME's; absent or refusing services
// are passed over, and with none nothing is held and nothing fails. Each lock goes back on release, also
// when the release comes before the answer.
TEST(SleepInhibition, TheFirstServiceThatAnswersHoldsTheLockUntilItIsReleased)
{
    REQUIRE_BUSES();
    struct Case
    {
        const char *what;
        std::optional<bool> logind; // present, and whether it answers
        bool powerManagement;
        bool gnome;
        Backend expected;
    };
    const QList<Case> cases = {
        {"all three", true, true, true, Backend::Logind},
        {"logind refuses", false, true, true, Backend::PowerManagement},
        {"no logind", std::nullopt, true, true, Backend::PowerManagement},
        {"GNOME only", std::nullopt, false, true, Backend::GnomeSession},
        {"none", std::nullopt, false, false, Backend::None},
    };
    for (const Case &services : cases) {
        SCOPED_TRACE(services.what);
        std::optional<LogindStandIn> logind;
        if (services.logind)
            logind.emplace(*services.logind);
        auto pm = services.powerManagement ? powerManagement() : nullptr;
        auto gnome = services.gnome ? gnomeSession() : nullptr;
        for (const RecordingService *service : {logind ? &logind->service : nullptr, pm.get(), gnome.get()}) {
            ASSERT_TRUE(!service || service->error().isEmpty()) << service->error().toStdString();
        }

        platform::SleepInhibitor inhibitor("BootDrive");
        inhibitor.acquire("Writing an installer");
        ASSERT_TRUE(testsupport::waitUntil([&] { return !inhibitor.isPending(); }, 10000));
        EXPECT_EQ(inhibitor.backend(), services.expected);
        switch (services.expected) {
        case Backend::Logind:
            ASSERT_EQ(logind->locks(), 1);
            EXPECT_EQ(logind->service.calls("Inhibit").first().arguments(),
                      QVariantList({"sleep", "BootDrive", "Writing an installer", "block"}));
            EXPECT_TRUE(logind->isHeld(0));
            inhibitor.release();
            EXPECT_TRUE(testsupport::waitUntil([&] { return !logind->isHeld(0); }, 3000));
            break;
        case Backend::PowerManagement:
            EXPECT_EQ(pm->calls("Inhibit").first().arguments(),
                      QVariantList({"BootDrive", "Writing an installer"}));
            inhibitor.release();
            ASSERT_TRUE(testsupport::waitUntil([&] { return pm->calls("UnInhibit").size() == 1; }, 3000));
            EXPECT_EQ(pm->calls("UnInhibit").first().arguments(), QVariantList({17u}));
            EXPECT_TRUE(gnome->calls("Inhibit").isEmpty());
            break;
        case Backend::GnomeSession:
            EXPECT_EQ(gnome->calls("Inhibit").first().arguments(),
                      QVariantList({"BootDrive", 0u, "Writing an installer", 4u}));
            inhibitor.release();
            ASSERT_TRUE(testsupport::waitUntil([&] { return gnome->calls("Uninhibit").size() == 1; }, 3000));
            EXPECT_EQ(gnome->calls("Uninhibit").first().arguments(), QVariantList({23u}));
            break;
        case Backend::None:
            inhibitor.release();
            break;
        }
        EXPECT_FALSE(inhibitor.isHeld());
    }

    SCOPED_TRACE("released while logind is still answering");
    LogindStandIn slow(true, 300);
    platform::SleepInhibitor inhibitor("BootDrive");
    inhibitor.acquire("Writing an installer");
    inhibitor.release();
    ASSERT_TRUE(testsupport::waitUntil([&] { return !inhibitor.isPending(); }, 10000));
    EXPECT_FALSE(inhibitor.isHeld());
    ASSERT_EQ(slow.locks(), 1);
    EXPECT_TRUE(testsupport::waitUntil([&] { return !slow.isHeld(0); }, 3000));
}

// A notice's body names drives and says what tools said: text, escaped for a service that would read it as
// markup (and load the images it names), as it is for one that shows it as it is.
TEST(Notices, TheBodyIsTextWhateverTheServiceReads)
{
    REQUIRE_BUSES();
    for (const bool readsMarkup : {true, false}) {
        RecordingService notices(QDBusConnection::SessionBus, "org.freedesktop.Notifications",
                                 "/org/freedesktop/Notifications");
        ASSERT_TRUE(notices.error().isEmpty());
        notices.answer("GetCapabilities", [readsMarkup](const QDBusMessage &) {
            return QVariantList{readsMarkup ? QStringList{"body", "body-markup"} : QStringList{"body"}};
        });
        notices.answer("Notify", [](const QDBusMessage &) { return QVariantList{3u}; });
        platform::DesktopNotifier notifier;
        const QString body = R"(【<img src="FIFO"><b>x</b> & y】)";
        notifier.notify("done", body, "drive-removable-media", "show");
        ASSERT_TRUE(testsupport::waitUntil([&] { return notices.calls("Notify").size() == 1; }, 5000));
        notifier.notify("done", body, "drive-removable-media", "show");
        ASSERT_TRUE(testsupport::waitUntil([&] { return notices.calls("Notify").size() == 2; }, 5000));
        for (const QDBusMessage &sent : notices.calls("Notify"))
            EXPECT_EQ(sent.arguments().value(4).toString(),
                      readsMarkup
                          ? QString("【&lt;img src=&quot;FIFO&quot;&gt;&lt;b&gt;x&lt;/b&gt; &amp; y】")
                          : body);
        EXPECT_EQ(notices.calls("GetCapabilities").size(), 1) << "asked once";
    }
}

// From the confirmation to the result the computer stays awake, whatever the end; the result goes to the
// desktop only while the user is in another window, and clicking it brings the window back.
TEST(WindowOnTheDesktop, EveryEndOfAJobGivesTheLockBackAndAwayTheResultIsAlsoANotice)
{
    REQUIRE_DRIVES();
    REQUIRE_BUSES();
    ToolsOnPath tools;
    LogindStandIn logind;
    RecordingService notices(QDBusConnection::SessionBus, "org.freedesktop.Notifications",
                             "/org/freedesktop/Notifications");
    notices.answer("Notify", [](const QDBusMessage &) { return QVariantList{7u}; });
    ASSERT_TRUE(logind.service.error().isEmpty() && notices.error().isEmpty());

    enum class End
    {
        Success,
        ToolFails,
        Cancelled,
        Refused,
    };
    struct Case
    {
        const char *what;
        End end;
        bool away;
        qint64 driveBytes;
        const char *installerSize;
        const char *result;
    };
    const QList<Case> cases = {
        {"success while the user is elsewhere", End::Success, true, 64 << 20, "8M",
         "macOS引导安装器创建完成"},
        {"a failing tool while the user is elsewhere", End::ToolFails, true, 32 << 20, "1M",
         "macOS引导安装器创建失败"},
        {"cancelled during the copy", End::Cancelled, false, 96 << 20, "40M", "已取消创建"},
        // The drive goes away while the confirmation is up: the checks before the erase refuse the run.
        {"refused before the erase", End::Refused, false, 32 << 20, "1M", "macOS引导安装器创建失败"},
    };
    for (const Case &run : cases) {
        SCOPED_TRACE(run.what);
        DRIVE_AND_INSTALLER(("USB", run.driveBytes), ("Install macOS Mojave", "10.14.6", run.installerSize));
        if (run.end == End::ToolFails) {
            QFile tool(installer.toolPath());
            ASSERT_TRUE(tool.open(QIODevice::WriteOnly | QIODevice::Truncate));
            tool.write("#!/bin/sh\nsleep 1\necho 'Error: the disk could not be made bootable'\nexit 1\n");
        }
        if (run.end == End::Cancelled)
            qputenv("CREATEINSTALLMEDIA_RATE_LIMIT", "4");
        Window w;
        auto &c = w.controller;
        OtherWindow elsewhere;
        w.chooseInstaller(installer.path());
        w.chooseDrive("USB");
        QTest::mouseClick(c.makeMacOSButton, Qt::LeftButton);
        QMessageBox *confirm = w.alert();
        ASSERT_TRUE(confirm);
        const int lock = logind.locks();
        const qsizetype noticesBefore = notices.calls("Notify").size();
        if (run.end == End::Refused) {
            ASSERT_TRUE(drive.unmountAll());
        }
        ASSERT_TRUE(WindowDriver::clickButton(confirm, "立刻创建"));
        // A run refused at once ends before the event loop turns again: the user looks at the window from
        // the moment the confirmation closes.
        if (!run.away)
            c.activateWindow();
        ASSERT_TRUE(testsupport::waitUntil([&] { return logind.locks() == lock + 1; }, 5000))
            << "the lock is taken at the start";
        // A window manager gives the activation back to the window once its alert has closed; the offscreen
        // platform does not.
        const auto lookAt = [&c] {
            c.activateWindow();
            testsupport::waitUntil([&] { return isActive(c); }, 3000);
        };
        if (run.away)
            elsewhere.activate();
        else
            lookAt();
        if (run.end == End::Cancelled) {
            ASSERT_TRUE(WindowDriver::waitFor([&] { return c.circularProgress->progress() > 0.0; }, 60000));
            EXPECT_TRUE(logind.isHeld(lock));
            const QPointF centre(c.circularProgress->width() / 2.0, c.circularProgress->height() / 2.0);
            QEnterEvent enter(centre, centre, c.circularProgress->mapToGlobal(centre));
            QApplication::sendEvent(c.circularProgress, &enter);
            QTest::mouseClick(c.circularProgress->cancelButton(), Qt::LeftButton);
            ASSERT_TRUE(WindowDriver::clickButton(w.alert(), "取消创建"));
            lookAt();
        }
        QMessageBox *result = nullptr;
        ASSERT_TRUE(WindowDriver::waitFor(
            [&] {
                result = qobject_cast<QMessageBox *>(w.driver.openDialog());
                return result && result->text() == run.result;
            },
            120000));
        EXPECT_TRUE(testsupport::waitUntil([&] { return !logind.isHeld(lock); }, 3000))
            << "the lock goes back at the end";
        // A notice goes out after the service has said how it reads bodies.
        testsupport::waitUntil([&] { return notices.calls("Notify").size() > noticesBefore; },
                               run.away ? 3000 : 300);
        const QList<QDBusMessage> sent = notices.calls("Notify").mid(noticesBefore);
        if (!run.away) {
            EXPECT_TRUE(sent.isEmpty()) << "no notice for a user who is looking";
        } else {
            ASSERT_EQ(sent.size(), 1);
            const QVariantList arguments = sent.first().arguments();
            ASSERT_EQ(arguments.size(), 8);
            EXPECT_EQ(arguments[3].toString(), run.result);
            EXPECT_EQ(arguments[4].toString(),
                      run.end == End::Success
                          ? "安装器已写入驱动器【USB（" + drive.device() + "）】并通过校验。"
                          : QString("制作工具报告错误：“the disk could not be made bootable”。"));
            EXPECT_EQ(arguments[5].toStringList().value(0), "default");
            elsewhere.activate(); // the result's alert took the activation
            ASSERT_FALSE(isActive(c));
            notices.emitSignal("org.freedesktop.Notifications", "ActionInvoked", {7u, QString("default")});
            EXPECT_TRUE(testsupport::waitUntil([&] { return isActive(c); }, 3000)) << "the window comes back";
        }
        qunsetenv("CREATEINSTALLMEDIA_RATE_LIMIT");
    }
}
