#include "Platform/Views/OpenPanel.h"

#include "support/EventLoop.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

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

QPushButton *acceptButton(platform::OpenPanel &panel)
{
    auto *box = panel.findChild<QDialogButtonBox *>();
    return box ? box->button(QDialogButtonBox::Open) : nullptr;
}

std::unique_ptr<platform::OpenPanel> openPanel(const QString &directory)
{
    auto panel = std::make_unique<platform::OpenPanel>();
    panel->setPrompt(QStringLiteral("选择"));
    panel->setAllowedFileTypes({"app"});
    panel->setDirectory(directory);
    panel->open();
    testsupport::spin(200);
    return panel;
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
    bool accepted = false;
    QObject::connect(panel.get(), &QDialog::accepted, [&] { accepted = true; });
    QTest::keyClicks(panel->findChild<QLineEdit *>("fileNameEdit"), "Plain Folder");
    QTest::mouseClick(acceptButton(*panel), Qt::LeftButton);
    testsupport::spin(300);
    EXPECT_FALSE(accepted) << "a plain folder is entered, not chosen";
    EXPECT_TRUE(panel->URLs().isEmpty());
}
