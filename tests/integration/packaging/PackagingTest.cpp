#include "App/AppDelegate.h"
#include "support/DriveSetup.h"
#include "support/LoopDrive.h"
#include "support/ProgramRun.h"
#include "support/SampleInstaller.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::LoopDrive;
using testsupport::ProgramRun;
using testsupport::SampleInstaller;

namespace {

QString build()
{
    return SampleInstaller::buildDirectory();
}

QString theDeb()
{
    const QStringList debs = QDir(build() + "/package-test").entryList({"*.deb"}, QDir::Files);
    return debs.size() == 1 ? build() + "/package-test/" + debs.first() : QString();
}

// The package's files unpacked below a temporary folder, as dpkg would install them below "/".
class UnpackedDeb
{
public:
    UnpackedDeb()
    {
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                QFile::ReadOther | QFile::ExeOther);
        const ProgramRun run = ProgramRun::run("dpkg", {"-x", theDeb(), m_dir.path()});
        m_error = run.exitCode == 0 ? QString() : run.describe();
    }
    QString error() const { return m_error; }
    QString path(const QString &inside) const { return m_dir.path() + inside; }

private:
    QTemporaryDir m_dir;
    QString m_error;
};

} // namespace

TEST(Packaging, DesktopEntryMetainfoAndManualValidate)
{
    const QString out = build() + "/packaging/";
    const struct
    {
        QString program;
        QStringList arguments;
    } checks[] = {
        {"desktop-file-validate", {out + "app.bootdrive.BootDrive.desktop"}},
        {"appstreamcli",
         {"validate", "--no-net", "--pedantic", out + "app.bootdrive.BootDrive.metainfo.xml"}},
        {"man", {"--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", out + "bootdrive.1.gz"}},
    };
    for (const auto &check : checks) {
        ASSERT_FALSE(QStandardPaths::findExecutable(check.program).isEmpty())
            << check.program.toStdString() << " is missing: scripts/setup installs it";
        const ProgramRun run = ProgramRun::run(check.program, check.arguments);
        EXPECT_EQ(run.exitCode, 0) << check.program.toStdString() << "\n" << run.describe().toStdString();
        // desktop-file-validate speaks only of problems, and man only on its standard error.
        const bool quiet = run.err.trimmed().isEmpty() &&
                           (check.program != "desktop-file-validate" || run.out.trimmed().isEmpty());
        EXPECT_TRUE(quiet || check.program == "appstreamcli") << run.describe().toStdString();
    }
}

TEST(Packaging, LintianFindsNoErrors)
{
    ASSERT_FALSE(theDeb().isEmpty()) << "the fixture builds the .deb in " << build().toStdString();
    const ProgramRun run = ProgramRun::run("lintian", {"--no-tag-display-limit", theDeb()}, {}, {}, 300000);
    QStringList errors;
    for (const QByteArray &line : run.out.split('\n'))
        if (line.startsWith("E: "))
            errors << QString::fromUtf8(line);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_TRUE(run.exitCode == 0 || run.exitCode == 1) << run.describe().toStdString();
}

// The licence is Apache 2.0 everywhere it is stated, the description names both languages of the window,
// and the description, the manual and the metainfo say what the application sends at every start.
TEST(Packaging, StatesItsLicenceItsLanguagesAndWhatItSends)
{
    ASSERT_FALSE(theDeb().isEmpty());
    UnpackedDeb root;
    ASSERT_TRUE(root.error().isEmpty()) << root.error().toStdString();
    QFile license(QFileInfo(SampleInstaller::scriptPath()).dir().filePath("../LICENSE"));
    ASSERT_TRUE(license.open(QIODevice::ReadOnly));
    QFile debian("/usr/share/common-licenses/Apache-2.0");
    if (debian.open(QIODevice::ReadOnly)) {
        EXPECT_EQ(license.readAll(), debian.readAll()) << "the standard text";
    }

    QFile copyright(root.path("/usr/share/doc/bootdrive/copyright"));
    ASSERT_TRUE(copyright.open(QIODevice::ReadOnly));
    const QByteArray copyrightText = copyright.readAll();
    EXPECT_TRUE(copyrightText.contains("\nLicense: Apache-2.0\n") &&
                copyrightText.contains("/usr/share/common-licenses/Apache-2.0"))
        << copyrightText.toStdString();
    QFile metainfo(root.path("/usr/share/metainfo/app.bootdrive.BootDrive.metainfo.xml"));
    ASSERT_TRUE(metainfo.open(QIODevice::ReadOnly));
    const QByteArray metainfoText = metainfo.readAll();
    EXPECT_TRUE(metainfoText.contains("<project_license>Apache-2.0</project_license>"));
    const QByteArray manual =
        ProgramRun::run("gzip", {"-dc", root.path("/usr/share/man/man1/bootdrive.1.gz")}).out;
    EXPECT_TRUE(manual.contains("Apache License 2.0")) << manual.toStdString();
    const QByteArray description = ProgramRun::run("dpkg-deb", {"--field", theDeb(), "Description"}).out;
    EXPECT_TRUE(description.contains("Simplified Chinese and English")) << description.toStdString();
    for (const QByteArray &text : {description, manual, metainfoText})
        EXPECT_TRUE(text.contains("host name") && text.contains("IP address") && text.contains("MAC"))
            << text.toStdString();
}

TEST(Packaging, TheUnpackedPackageRunsAndFindsItsTools)
{
    ASSERT_FALSE(theDeb().isEmpty());
    UnpackedDeb root;
    ASSERT_TRUE(root.error().isEmpty()) << root.error().toStdString();
    const QString bootdrive = root.path("/usr/bin/bootdrive");
    const QString tools = root.path("/usr/libexec/bootdrive");
    for (const QString &program :
         {bootdrive, tools + "/diskutil", tools + "/bootdrive-privileged-exec", tools + "/bootdrive-record"})
        EXPECT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();
    // One program, its network side linked in: the tool folder holds the three tools alone, and the package
    // no library of its own.
    const QByteArray needed = ProgramRun::run("readelf", {"--dynamic", "--wide", bootdrive}).out;
    EXPECT_TRUE(needed.contains("libQt6Network")) << needed.toStdString();
    EXPECT_EQ(QDir(tools).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              (QStringList{"bootdrive-privileged-exec", "bootdrive-record", "diskutil"}));
    for (QDirIterator files(root.path("/"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         files.hasNext();) {
        const QString file = files.next();
        EXPECT_FALSE(QFileInfo(file).fileName().contains(".so")) << file.toStdString();
    }

    const ProgramRun version = ProgramRun::run(bootdrive, {"--version"});
    ASSERT_EQ(version.exitCode, 0) << version.describe().toStdString();
    EXPECT_TRUE(version.out.contains("Tools: " + tools.toUtf8())) << version.out.toStdString();
    const ProgramRun list = ProgramRun::run(bootdrive, {"list", "--json"});
    ASSERT_EQ(list.exitCode, 0) << list.describe().toStdString();
    EXPECT_TRUE(QJsonDocument::fromJson(list.out).isArray()) << list.out.toStdString();

    // Installed at /usr, the first-run installation finds the helper's action in place: the package's is the
    // very text the application expects for its helper there.
    QFile policy(root.path("/usr/share/polkit-1/actions/" + AppDelegate::HelperLabel + ".policy"));
    ASSERT_TRUE(policy.open(QIODevice::ReadOnly));
    EXPECT_EQ(policy.readAll(), AppDelegate::policyText(AppDelegate::HelperLabel,
                                                        "/usr/libexec/bootdrive/bootdrive-privileged-exec"));
    for (const char *file : {"/usr/share/applications/app.bootdrive.BootDrive.desktop",
                             "/usr/share/metainfo/app.bootdrive.BootDrive.metainfo.xml",
                             "/usr/share/icons/hicolor/scalable/apps/app.bootdrive.BootDrive.svg",
                             "/usr/share/icons/hicolor/256x256/apps/app.bootdrive.BootDrive.png",
                             "/usr/share/man/man1/bootdrive.1.gz", "/usr/share/doc/bootdrive/copyright"})
        EXPECT_TRUE(QFileInfo(root.path(file)).isFile()) << file;
    EXPECT_EQ(QImage(root.path("/usr/share/icons/hicolor/48x48/apps/app.bootdrive.BootDrive.png")).size(),
              QSize(48, 48));

    // The unpacked programs erase and create on a real drive: the erase runs the package's disk utility, the
    // creation its privileged helper.
    REQUIRE_DRIVES();
    DRIVE_AND_INSTALLER(("PKG", 48 * 1024 * 1024), ("Install macOS Catalina", "10.15.7", "4M"));
    const ProgramRun listed = ProgramRun::run(bootdrive, {"list", "--json"});
    EXPECT_TRUE(listed.out.contains("\"volume\":\"/Volumes/PKG\"")) << listed.out.toStdString();
    // Nothing of the build folder may help: only the system's folders on PATH.
    const ProgramRun create = ProgramRun::run(
        bootdrive, {"create", "--installer", installer.path(), "--volume", "/Volumes/PKG", "--yes"},
        {"PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin", "BOOTDRIVE_PRIVILEGED_EXEC="});
    EXPECT_EQ(create.exitCode, 0) << create.describe().toStdString();
    EXPECT_EQ(drive.mountPoint(), "/Volumes/Install macOS Catalina");
}
