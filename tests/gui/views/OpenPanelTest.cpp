#include "UI/OpenPanel.h"

#include "Platform/Volumes/MountMonitor.h"
#include "support/EventLoop.h"
#include "support/PrivateMounts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <sys/mount.h>

namespace {

struct Folder
{
    QTemporaryDir dir;
    QString bundle;
    Folder()
    {
        bundle = dir.filePath("Install macOS Mojave.app");
        QDir().mkpath(bundle + "/Contents/Resources");
        QDir().mkpath(dir.filePath("Plain Folder"));
        QFile note(dir.filePath("notes.txt"));
        note.open(QIODevice::WriteOnly);
    }
};

QPushButton *acceptButton(OpenPanel &panel)
{
    auto *box = panel.findChild<QDialogButtonBox *>();
    return box ? box->button(QDialogButtonBox::Open) : nullptr;
}

std::unique_ptr<OpenPanel> openPanel(const QString &directory)
{
    auto panel = std::make_unique<OpenPanel>();
    panel->setPrompt(QStringLiteral("选择"));
    panel->setAllowedFileTypes({"app"});
    panel->setDirectory(directory);
    panel->open();
    testsupport::spin(200);
    return panel;
}

// A home folder of the test's own, with the places given; no user-dirs file, so Downloads and Desktop are
// the home's.
struct Home
{
    QTemporaryDir dir;
    QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME");
    explicit Home(const QStringList &places)
    {
        for (const QString &place : places)
            QDir().mkpath(dir.filePath(place));
        qputenv("HOME", QFile::encodeName(dir.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(".config")));
    }
    ~Home()
    {
        qputenv("HOME", savedHome);
        qputenv("XDG_CONFIG_HOME", savedConfig);
    }
    QString path(const QString &place = {}) const
    {
        return place.isEmpty() ? dir.path() : dir.filePath(place);
    }
};

QStringList paths(const QList<QUrl> &urls)
{
    QStringList list;
    for (const QUrl &url : urls)
        list << url.toLocalFile();
    return list;
}

QStringList shownNames(OpenPanel &panel)
{
    auto *view = panel.findChild<QListView *>(QStringLiteral("listView"));
    QStringList names;
    if (!view)
        return names;
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
        names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    return names;
}

} // namespace

TEST(OpenPanel, ABundleIsChosenWithThePromptButton)
{
    Folder folder;
    auto panel = openPanel(folder.dir.path());
    // Typed, as a person would; a click on the entry fills the same field.
    QTest::keyClicks(panel->findChild<QLineEdit *>("fileNameEdit"), QFileInfo(folder.bundle).fileName());
    QPushButton *accept = acceptButton(*panel);
    ASSERT_TRUE(accept);
    testsupport::spin(400); // the folder's entries arrive in the background; Qt relabels the button then
    EXPECT_EQ(accept->text(), QStringLiteral("选择")) << "a bundle is chosen, not opened";
    EXPECT_TRUE(accept->isEnabled());
    bool finished = false;
    QObject::connect(panel.get(), &QDialog::finished,
                     [&](int result) { finished = result == QDialog::Accepted; });
    QTest::mouseClick(accept, Qt::LeftButton);
    ASSERT_TRUE(testsupport::waitUntil([&] { return finished; }, 3000));
    EXPECT_EQ(panel->URLs(), QStringList({folder.bundle}));
}

TEST(OpenPanel, OpeningABundleChoosesItInsteadOfEnteringIt)
{
    Folder folder;
    auto panel = openPanel(folder.dir.path());
    bool accepted = false;
    QObject::connect(panel.get(), &QDialog::accepted, [&] { accepted = true; });
    // What a double click or Enter on the bundle does: the dialog enters the folder.
    panel->setDirectory(folder.bundle);
    emit panel->directoryEntered(folder.bundle);
    ASSERT_TRUE(testsupport::waitUntil([&] { return accepted; }, 3000));
    EXPECT_EQ(panel->URLs(), QStringList({folder.bundle}));
    EXPECT_EQ(QDir(panel->directory()).absolutePath(), QDir(folder.dir.path()).absolutePath());
}

TEST(OpenPanel, PlainFoldersStillOpenAndOtherFilesAreHidden)
{
    Folder folder;
    auto panel = openPanel(folder.dir.path());
    EXPECT_FALSE(panel->isBundle(folder.dir.filePath("Plain Folder")));
    EXPECT_FALSE(panel->isBundle(folder.dir.filePath("notes.txt")));
    EXPECT_TRUE(panel->isBundle(folder.bundle));
    EXPECT_EQ(panel->nameFilters(), QStringList({"(*.app)"}));
    // A named filter reads as its name and still hides what it does not match.
    panel->setAllowedFileTypes({"app"}, "macOS 安装程序");
    EXPECT_EQ(panel->nameFilters(), QStringList({"macOS 安装程序 (*.app)"}));
    auto *types = panel->findChild<QComboBox *>("fileTypeCombo");
    ASSERT_TRUE(types);
    EXPECT_EQ(types->currentText(), "macOS 安装程序 (*.app)");
    ASSERT_TRUE(testsupport::waitUntil([&] { return shownNames(*panel).size() >= 2; }, 3000));
    EXPECT_TRUE(shownNames(*panel).contains("Install macOS Mojave.app"));
    EXPECT_TRUE(shownNames(*panel).contains("Plain Folder"));
    EXPECT_FALSE(shownNames(*panel).contains("notes.txt"));
    bool accepted = false;
    QObject::connect(panel.get(), &QDialog::accepted, [&] { accepted = true; });
    QTest::keyClicks(panel->findChild<QLineEdit *>("fileNameEdit"), "Plain Folder");
    QTest::mouseClick(acceptButton(*panel), Qt::LeftButton);
    testsupport::spin(300);
    EXPECT_FALSE(accepted) << "a plain folder is entered, not chosen";
    EXPECT_TRUE(panel->URLs().isEmpty());
}

// Opened without a folder, the panel starts where a downloaded installer lands, else at home; its sidebar
// has the places that exist.
TEST(OpenPanel, StartsInDownloadsElseHomeWithThePlacesThatExistInItsSidebar)
{
    const QString applications = QFileInfo(QStringLiteral("/Applications")).isDir() ? "/Applications" : "";
    {
        Home home({"Downloads", "Desktop"});
        OpenPanel panel;
        EXPECT_EQ(panel.directory().absolutePath(), home.path("Downloads"));
        QStringList expected = {home.path(), home.path("Downloads"), home.path("Desktop")};
        if (!applications.isEmpty())
            expected << applications;
        const QStringList sidebar = paths(panel.sidebarUrls());
        EXPECT_EQ(sidebar.mid(0, expected.size()), expected);
    }
    {
        Home home({"Documents"});
        OpenPanel panel;
        EXPECT_EQ(panel.directory().absolutePath(), home.path());
        const QStringList sidebar = paths(panel.sidebarUrls());
        EXPECT_EQ(sidebar.first(), home.path());
        EXPECT_FALSE(sidebar.contains(home.path("Downloads")));
        EXPECT_FALSE(sidebar.contains(home.path("Desktop")));
        // A folder the caller names still wins.
        panel.setDirectory(home.path("Documents"));
        EXPECT_EQ(panel.directory().absolutePath(), home.path("Documents"));
    }
}

// A panel opens where the last installer was chosen, as long as that folder is there.
TEST(OpenPanel, OpensWhereTheLastInstallerWasChosen)
{
    Home home({"Downloads"});
    auto folder = std::make_unique<Folder>();
    {
        auto panel = openPanel(folder->dir.path());
        panel->setDirectory(folder->bundle);
        emit panel->directoryEntered(folder->bundle);
        ASSERT_EQ(panel->URLs(), QStringList({folder->bundle}));
    }
    EXPECT_EQ(OpenPanel().directory().absolutePath(), QDir(folder->dir.path()).absolutePath());
    folder.reset();
    EXPECT_EQ(OpenPanel().directory().absolutePath(), home.path("Downloads"));
}

// Volumes below /Volumes and where desktops mount removable media are listed, by name, and the list
// follows them as they come and go.
TEST(OpenPanel, TheSidebarListsMountedVolumesAndFollowsThem)
{
    if (!testsupport::privateMountsReady())
        GTEST_SKIP() << testsupport::PrivateMounts::skipReason().toStdString();
    Home home({"Downloads"});
    // Private to the test's namespace: /media on the host is neither touched nor seen.
    ASSERT_EQ(::mount("tmpfs", "/media", "tmpfs", 0, nullptr), 0);
    const auto mountAt = [](const QString &path) {
        QDir().mkpath(path);
        return ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0, nullptr) == 0;
    };
    ASSERT_TRUE(mountAt("/media/someone/KINGSTON"));
    ASSERT_TRUE(mountAt("/Volumes/USB"));
    ASSERT_TRUE(mountAt("/Volumes/.hidden"));
    platform::MountMonitor::shared()->rescan();
    OpenPanel panel;
    const QStringList volumes = {"/media/someone/KINGSTON", "/Volumes/USB"};
    QStringList sidebar = paths(panel.sidebarUrls());
    EXPECT_EQ(sidebar.mid(sidebar.size() - 2), volumes);
    EXPECT_FALSE(sidebar.contains("/Volumes")) << "the folder of volumes is no volume";
    EXPECT_FALSE(sidebar.contains("/media/someone"));

    ASSERT_TRUE(mountAt("/Volumes/DEMO"));
    EXPECT_TRUE(testsupport::waitUntil([&] { return paths(panel.sidebarUrls()).contains("/Volumes/DEMO"); }));
    ASSERT_EQ(::umount("/Volumes/USB"), 0);
    EXPECT_TRUE(testsupport::waitUntil([&] { return !paths(panel.sidebarUrls()).contains("/Volumes/USB"); }));
    sidebar = paths(panel.sidebarUrls());
    EXPECT_EQ(sidebar.mid(sidebar.size() - 2), QStringList({"/Volumes/DEMO", "/media/someone/KINGSTON"}));

    for (const char *point : {"/Volumes/DEMO", "/Volumes/.hidden", "/media/someone/KINGSTON", "/media"})
        EXPECT_EQ(::umount(point), 0) << point;
    QDir("/Volumes").rmdir("USB");
    QDir("/Volumes").rmdir("DEMO");
    QDir("/Volumes").rmdir(".hidden");
}
