#include "Platform/Volumes/TreeVerifier.h"

#include "Platform/Volumes/DriveRecord.h"
#include "support/RecordedDrive.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

using platform::DriveRecord;
using platform::TreeVerifier;
using Outcome = TreeVerifier::Result::Outcome;
using Refusal = DriveRecord::Refusal;
using Kind = DriveRecord::Item::Kind;
using Checked = TreeVerifier::Check::Outcome;

namespace {

void write(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(content);
}

} // namespace

// Each way a copy can differ from its original is found and named; an identical copy passes.
TEST(TreeVerifier, FindsAndNamesTheFirstDifference)
{
    struct Case
    {
        const char *what;
        std::function<void(const QString &copy)> change;
        Outcome outcome;
        std::string path;
    };
    const std::vector<Case> cases = {
        {"identical", [](const QString &) {}, Outcome::Same, ""},
        {"content", [](const QString &c) { write(c + "/Contents/b/data", QByteArray(70000, 'y')); },
         Outcome::Different, "Contents/b/data"},
        {"size", [](const QString &c) { write(c + "/Contents/a", "longer text"); }, Outcome::Different,
         "Contents/a"},
        {"missing", [](const QString &c) { QFile::remove(c + "/Contents/b/data"); }, Outcome::Different,
         "Contents/b/data"},
        {"mode", [](const QString &c) { ::chmod(QFile::encodeName(c + "/Contents/a").constData(), 0600); },
         Outcome::Different, "Contents/a"},
        {"link target",
         [](const QString &c) {
             QFile::remove(c + "/Contents/link");
             QFile::link("b", c + "/Contents/link");
         },
         Outcome::Different, "Contents/link"},
        {"kind",
         [](const QString &c) {
             QFile::remove(c + "/Contents/a");
             QDir().mkpath(c + "/Contents/a");
         },
         Outcome::Different, "Contents/a"},
    };
    for (const Case &check : cases) {
        SCOPED_TRACE(check.what);
        QTemporaryDir original, copy;
        write(original.path() + "/Contents/a", "text");
        write(original.path() + "/Contents/b/data", QByteArray(70000, 'x'));
        ASSERT_TRUE(QFile::link("a", original.path() + "/Contents/link"));
        ASSERT_EQ(QProcess::execute("cp", {"-a", original.path() + "/.", copy.path()}), 0);
        check.change(copy.path());
        const std::atomic<bool> cancel{false};
        const auto result =
            TreeVerifier::compare(original.path().toStdString(), copy.path().toStdString(), 0, cancel);
        EXPECT_EQ(result.outcome, check.outcome) << result.path << ": " << result.reason;
        if (check.outcome != Outcome::Same) {
            EXPECT_EQ(result.path, check.path) << result.reason;
        }
    }

    QTemporaryDir original, copy;
    write(original.path() + "/a", "text");
    ASSERT_EQ(QProcess::execute("cp", {"-a", original.path() + "/.", copy.path()}), 0);
    const std::atomic<bool> cancelled{true};
    EXPECT_EQ(
        TreeVerifier::compare(original.path().toStdString(), copy.path().toStdString(), 0, cancelled).outcome,
        Outcome::Cancelled);
    struct stat info
    {};
    ::stat(QFile::encodeName(copy.path()).constData(), &info);
    const std::atomic<bool> go{false};
    EXPECT_EQ(
        TreeVerifier::compare(original.path().toStdString(), copy.path().toStdString(), info.st_dev + 1, go)
            .outcome,
        Outcome::Different)
        << "a copy on another device than the drive's is not the drive's";
}

namespace {

DriveRecord sample()
{
    DriveRecord record;
    record.installerName = "Install macOS Mojave";
    record.installerVersion = "10.14.6";
    record.installerType = "-";
    record.made = "2026-12-08T09:30:00Z";
    record.madeBy = "";
    const std::string hash(32, 'a');
    record.items = {
        {Kind::Folder, 0755, 0, {}, "Install 100% \xff.app", {}},
        {Kind::File, 0644, 12, hash, "Install 100% \xff.app/a b\nc", {}},
        {Kind::Link, 0, 0, {}, "Install 100% \xff.app/link", "../x y"},
        {Kind::Other, 0600, 0, {}, "Install 100% \xff.app/fifo", {}},
    };
    return record;
}

// The text with its last line made the right hash again, as an edit that knows the format would.
std::string resealed(std::string text)
{
    const size_t last = text.rfind('\n', text.size() - 2);
    text.resize(last + 1);
    const XXH128_hash_t hash = XXH3_128bits(text.data(), text.size());
    return text + "hash " + DriveRecord::hashText(hash.high64, hash.low64) + "\n";
}

std::string replaced(std::string text, const std::string &from, const std::string &to)
{
    const size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

} // namespace

// Every field survives the text form, whatever its bytes; every way a record can be cut, changed or
// forged is refused with its reason, and no prefix of a record is ever taken for one.
TEST(DriveRecord, KeepsEveryFieldAndRefusesWhatIsNotWhole)
{
    const DriveRecord record = sample();
    const std::string text = record.encode();
    const auto read = DriveRecord::decode(text);
    ASSERT_TRUE(read.record) << DriveRecord::describe(read.refusal);
    EXPECT_EQ(read.record->installerName, record.installerName);
    EXPECT_EQ(read.record->installerType, "-");
    EXPECT_EQ(read.record->madeBy, "");
    EXPECT_EQ(read.record->items, record.items);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 13) << "one line a field or item: " << text;

    for (size_t length = 0; length < text.size(); ++length)
        ASSERT_FALSE(DriveRecord::decode(text.substr(0, length)).record) << length;
    std::string flipped = text;
    flipped[text.find("10.14.6")] ^= 1;
    const struct
    {
        const char *what;
        std::string text;
        Refusal refusal;
    } cases[] = {
        {"one byte changed, the hash not mended", flipped, Refusal::Damaged},
        {"cut short", text.substr(0, text.size() / 2), Refusal::Damaged},
        {"someone else's", "Some other record\n" + text, Refusal::NotOurs},
        {"empty", "", Refusal::NotOurs},
        {"a later version", resealed(replaced(text, "version 1", "version 2")), Refusal::UnknownVersion},
        {"a parent folder", resealed(replaced(text, "/link", "/../../x")), Refusal::PathOutside},
        {"an absolute path", resealed(replaced(text, "Install%20100%25%20%FF.app/link", "/etc/x")),
         Refusal::PathOutside},
        {"an empty name", resealed(replaced(text, "/link", "//link")), Refusal::PathOutside},
        {"an item outside any recorded folder", resealed(replaced(text, "/link", "x/link")),
         Refusal::Damaged},
        {"one item too few", resealed(replaced(text, "items 4", "items 5")), Refusal::Damaged},
        {"one item too many", resealed(replaced(text, "items 4", "items 3")), Refusal::Damaged},
        {"a bad escape", resealed(replaced(text, "%FF", "%F")), Refusal::Damaged},
        {"a mode out of range", resealed(replaced(text, "0644", "17777")), Refusal::Damaged},
        {"a short hash", resealed(replaced(text, std::string(32, 'a'), "abc")), Refusal::Damaged},
        {"a NUL in a name", resealed(replaced(text, "/link", "/li%00nk")), Refusal::Damaged},
        {"too large", std::string(DriveRecord::MaxBytes + 1, 'x'), Refusal::TooLarge},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto refused = DriveRecord::decode(c.text);
        EXPECT_FALSE(refused.record);
        EXPECT_EQ(refused.refusal, c.refusal) << DriveRecord::describe(refused.refusal);
    }
}

// The record is only ever a regular file in a real folder: a link or a FIFO in its place is refused
// without being opened.
TEST(DriveRecord, IsReadOnlyFromARegularFileInItsFolder)
{
    QTemporaryDir top;
    const auto readFrom = [&] {
        const int fd = ::open(QFile::encodeName(top.path()).constData(), O_RDONLY | O_DIRECTORY);
        const auto read = DriveRecord::readFrom(fd);
        ::close(fd);
        return read;
    };
    EXPECT_EQ(readFrom().refusal, Refusal::Missing);
    const QString folder = top.filePath(DriveRecord::Folder);
    QDir().mkpath(folder);
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder + "/record").constData(), 0644), 0);
    EXPECT_EQ(readFrom().refusal, Refusal::NotOurs);
    QFile::remove(folder + "/record");
    write(top.filePath("elsewhere"), QByteArray::fromStdString(sample().encode()));
    ASSERT_TRUE(QFile::link(top.filePath("elsewhere"), folder + "/record"));
    EXPECT_EQ(readFrom().refusal, Refusal::NotOurs);
    QFile::remove(folder + "/record");
    write(folder + "/record", QByteArray::fromStdString(sample().encode()));
    EXPECT_TRUE(readFrom().record);
}

// A drive read against the record of what was verified: intact as made; each change named; an added file
// listed and harmless; nothing on the drive touched by the check.
TEST(DriveRecord, ACheckNamesWhatChangedSinceTheRecord)
{
    QTemporaryDir original;
    const QString bundle = original.filePath("Install.app");
    write(bundle + "/Contents/Info.plist", "<plist/>");
    write(bundle + "/Contents/SharedSupport/data", QByteArray(3 * 1024 * 1024 + 5, 'x'));
    write(bundle + "/Contents/Resources/tool", "#!/bin/sh\n");
    ASSERT_TRUE(QFile::link("Info.plist", bundle + "/Contents/link"));

    const auto made = [&](QTemporaryDir &volume) {
        EXPECT_EQ(QProcess::execute("cp", {"-a", bundle, volume.path()}), 0);
        const std::atomic<bool> go{false};
        std::vector<DriveRecord::Item> items;
        const auto compared = TreeVerifier::compare(
            bundle.toStdString(), volume.filePath("Install.app").toStdString(), 0, go, {}, &items);
        EXPECT_EQ(compared.outcome, TreeVerifier::Result::Outcome::Same);
        EXPECT_EQ(items.size(), 7u);
        DriveRecord record;
        record.items.push_back({Kind::Folder, 0755, 0, {}, "Install.app", {}});
        for (auto item : items) {
            item.path = "Install.app/" + item.path;
            record.items.push_back(item);
        }
        // Through the text, as it is written to a drive and read back.
        return *DriveRecord::decode(record.encode()).record;
    };
    const auto check = [](QTemporaryDir &volume, const DriveRecord &record, bool cancelled = false) {
        const std::atomic<bool> cancel{cancelled};
        return TreeVerifier::check(volume.path().toStdString(), record, 0, cancel);
    };
    const auto named = [](const TreeVerifier::Check &result) {
        std::vector<std::string> out;
        for (const auto &difference : result.changed)
            out.push_back(difference.path + ": " + difference.reason);
        return out;
    };
    const auto snapshot = [](const QString &root) { return testsupport::RecordedDrive::listing(root, true); };

    {
        QTemporaryDir volume;
        const DriveRecord record = made(volume);
        write(volume.filePath("unrelated at the top"), "x");
        const QStringList before = snapshot(volume.path());
        const auto intact = check(volume, record);
        EXPECT_EQ(intact.outcome, Checked::Intact) << intact.path << ": " << intact.reason;
        EXPECT_TRUE(intact.added.empty());
        EXPECT_EQ(intact.bytes, 3u * 1024 * 1024 + 5 + 8 + 10);
        EXPECT_EQ(snapshot(volume.path()), before) << "a check changes nothing, not even access times";
        EXPECT_EQ(check(volume, record, true).outcome, Checked::Cancelled);
    }
    const struct
    {
        const char *what;
        std::function<void(const QString &app)> change;
        std::vector<std::string> changed;
        std::vector<std::string> added;
    } cases[] = {
        {"one byte",
         [](const QString &app) {
             QFile file(app + "/Contents/SharedSupport/data");
             file.open(QIODevice::ReadWrite);
             file.seek(2 * 1024 * 1024);
             file.write("y");
         },
         {"Install.app/Contents/SharedSupport/data: has other content"},
         {}},
        {"removed",
         [](const QString &app) { QFile::remove(app + "/Contents/Info.plist"); },
         {"Install.app/Contents/Info.plist: is missing"},
         {}},
        {"added",
         [](const QString &app) { write(app + "/Contents/Resources/new", "n"); },
         {},
         {"Install.app/Contents/Resources/new"}},
        {"a folder gone",
         [](const QString &app) {
             QDir(app + "/Contents/Resources").removeRecursively();
             write(app + "/Contents/Resources", "now a file");
         },
         {"Install.app/Contents/Resources: is of another kind",
          "Install.app/Contents/Resources/tool: is missing"},
         {}},
        {"mode and link",
         [](const QString &app) {
             ::chmod(QFile::encodeName(app + "/Contents/Resources/tool").constData(), 0600);
             QFile::remove(app + "/Contents/link");
             QFile::link("elsewhere", app + "/Contents/link");
         },
         {"Install.app/Contents/link: links elsewhere",
          "Install.app/Contents/Resources/tool: has other permissions"},
         {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir volume;
        const DriveRecord record = made(volume);
        c.change(volume.filePath("Install.app"));
        const auto result = check(volume, record);
        EXPECT_EQ(result.outcome, c.changed.empty() ? Checked::Intact : Checked::Damaged)
            << result.path << ": " << result.reason;
        auto changed = named(result);
        std::sort(changed.begin(), changed.end());
        auto expected = c.changed;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(changed, expected);
        EXPECT_EQ(result.added, c.added);
    }
}
