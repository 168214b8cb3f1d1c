#include "support/SampleInstaller.h"

#include "Platform/Values/PropertyList.h"
#include "ToolRun.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using testsupport::SampleInstaller;

namespace {

QString text(const QVariantMap &dictionary, const char *key)
{
    return dictionary.value(QString::fromLatin1(key)).toString();
}

} // namespace

TEST(SampleInstallerScript, MakesACompleteBundleOfTheAskedSize)
{
    SampleInstaller installer("Install macOS High Sierra", "10.13.6", "24M");
    ASSERT_TRUE(installer.isValid()) << installer.error().toStdString();

    const QVariantMap info =
        platform::PropertyList::readDictionary(installer.path() + "/Contents/Info.plist");
    ASSERT_FALSE(info.isEmpty());
    EXPECT_EQ(text(info, "CFBundleDisplayName"), "Install macOS High Sierra");
    EXPECT_EQ(text(info, "DTPlatformVersion"), "10.13.6");
    EXPECT_FALSE(text(info, "CFBundleIdentifier").isEmpty());

    // The icon is an .icns file Qt's image plugin reads, at its largest size.
    QImageReader icon(installer.path() + "/Contents/Resources/" + text(info, "CFBundleIconFile") + ".icns");
    EXPECT_EQ(icon.format(), "icns");
    int largest = 0;
    for (int i = 0; i < icon.imageCount(); ++i) {
        icon.jumpToImage(i);
        largest = std::max(largest, icon.read().width());
    }
    EXPECT_EQ(largest, 256) << icon.errorString().toStdString();

    QFileInfo tool(installer.toolPath());
    EXPECT_TRUE(tool.isExecutable());
    EXPECT_EQ(tool.size(), QFileInfo(ToolRun::tool("createinstallmedia")).size());

    // About the asked size in all, in real blocks, not holes.
    qint64 bytes = 0, allocated = 0;
    QDirIterator walk(installer.path(), QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        struct stat info
        {};
        lstat(QFile::encodeName(walk.next()).constData(), &info);
        bytes += info.st_size;
        allocated += info.st_blocks * 512;
    }
    const qint64 asked = 24 * 1024 * 1024;
    EXPECT_NEAR(static_cast<double>(bytes), static_cast<double>(asked), asked * 0.02);
    EXPECT_GE(allocated, bytes * 95 / 100);
    EXPECT_TRUE(QFileInfo(installer.path() + "/Contents/SharedSupport/InstallInfo.dmg").isSymLink());
}

TEST(SampleInstallerScript, RefusesBadArgumentsAndExistingBundles)
{
    QTemporaryDir folder;
    auto environment = ToolRun::environment();
    environment.insert("BOOTDRIVE_BUILD_DIR", SampleInstaller::buildDirectory());
    const QString script = SampleInstaller::scriptPath();
    const QList<QStringList> bad = {
        {"Install macOS Mojave", "10.14"},
        {"Install macOS Mojave", "10.14", "12X", folder.path()},
        {"a/b", "10.14", "1M", folder.path()},
        {"..", "10.14", "1M", folder.path()},
        {"Install macOS Mojave", "10.14", "1M", folder.path() + "/missing"},
    };
    for (const QStringList &arguments : bad) {
        const ToolRun run = ToolRun::run("/bin/bash", QStringList{script} + arguments, environment);
        EXPECT_NE(run.exitCode, 0) << arguments.join(' ').toStdString();
    }
    const QStringList good{"Name & <More>", "1\"2", "100K", folder.path()};
    ToolRun run = ToolRun::run("/bin/bash", QStringList{script} + good, environment);
    ASSERT_EQ(run.exitCode, 0) << run.output.toStdString();
    const QVariantMap info =
        platform::PropertyList::readDictionary(folder.path() + "/Name & <More>.app/Contents/Info.plist");
    ASSERT_FALSE(info.isEmpty()) << "names are escaped in the XML";
    EXPECT_EQ(text(info, "CFBundleDisplayName"), "Name & <More>");
    EXPECT_EQ(text(info, "DTPlatformVersion"), "1\"2");
    run = ToolRun::run("/bin/bash", QStringList{script} + good, environment);
    EXPECT_NE(run.exitCode, 0) << "an existing bundle is not overwritten";
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"Name & <More>.app"})
        << "no half-made leftovers";
}
