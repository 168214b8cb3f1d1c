// Verifying a drive's copy of an installer against the installer, with nothing cached:
//  - TreeVerifier::compare on two 1 GiB trees (three large files and 4,000 small ones, as an installer has);
//  - the same two trees read with `cat` to /dev/null, the least any comparison must do;
//  - `diff -r` of the same trees.
// Checking a finished drive later ("bootdrive verify"): TreeVerifier::check of the copy against the record
// of what the comparison saw, against `cat` of the copy alone.
// Before every run the trees' pages are dropped from the cache (posix_fadvise DONTNEED after a sync), so
// each reads from the disk. Three rounds; the medians are compared.
#include "Platform/Volumes/DriveRecord.h"
#include "Platform/Volumes/TreeVerifier.h"
#include "common/BenchRow.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

void fill(const QString &path, qint64 bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QByteArray piece(4 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator random(static_cast<quint32>(bytes));
    for (qint64 left = bytes; left > 0; left -= piece.size()) {
        random.fillRange(reinterpret_cast<quint32 *>(piece.data()), piece.size() / 4);
        file.write(piece.constData(), std::min<qint64>(left, piece.size()));
    }
}

void makeBundle(const QString &root)
{
    const QString shared = root + "/Contents/SharedSupport";
    fill(shared + "/InstallESD.dmg", 760LL * 1024 * 1024);
    fill(shared + "/BaseSystem.dmg", 180LL * 1024 * 1024);
    fill(shared + "/AppleDiagnostics.dmg", 20LL * 1024 * 1024);
    // The rest in many small files, about 16 KiB each.
    for (int i = 0; i < 4000; ++i)
        fill(QStringLiteral("%1/Contents/Resources/r%2/f%3").arg(root).arg(i / 100).arg(i),
             16 * 1024 + i % 512);
}

void evict(const QString &root)
{
    ::sync();
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const int fd = ::open(QFile::encodeName(it.next()).constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
}

double runShell(const QString &command)
{
    QElapsedTimer clock;
    clock.start();
    QProcess::execute(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), command});
    return clock.nsecsElapsed() / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder(QDir::tempPath() + "/bench-verify-XXXXXX");
    const QString original = folder.filePath("Install macOS Mojave.app");
    const QString copy = folder.filePath("copy/Install macOS Mojave.app");
    std::printf("making two 1 GiB trees in %s...\n", qPrintable(folder.path()));
    std::fflush(stdout);
    makeBundle(original);
    QDir().mkpath(folder.filePath("copy"));
    QProcess::execute("cp", {"-a", original, folder.filePath("copy")});

    const QString quotedOriginal = "'" + original + "'", quotedCopy = "'" + copy + "'";
    std::vector<double> verifier, cat, diff;
    bool same = true;
    for (int round = 0; round < 3; ++round) {
        evict(folder.path());
        cat.push_back(runShell("find " + quotedOriginal + " " + quotedCopy +
                               " -type f -print0 | xargs -0 cat > /dev/null"));
        evict(folder.path());
        QElapsedTimer clock;
        clock.start();
        const std::atomic<bool> cancel{false};
        const auto result =
            platform::TreeVerifier::compare(original.toStdString(), copy.toStdString(), 0, cancel);
        verifier.push_back(clock.nsecsElapsed() / 1e6);
        same = same && result.outcome == platform::TreeVerifier::Result::Outcome::Same;
        evict(folder.path());
        diff.push_back(runShell("diff -r " + quotedOriginal + " " + quotedCopy + " > /dev/null"));
    }
    const double v = median(verifier), c = median(cat), d = median(diff);
    std::printf("verify 2 x 1 GiB, cold caches: median %.0f ms; cat of both trees %.0f ms; diff -r %.0f ms\n",
                v, c, d);
    std::printf("verify / cat = %.2f (target at most 1.15); verify / diff -r = %.2f; trees found %s\n", v / c,
                v / d, same ? "the same" : "DIFFERENT");
    if (!same) {
        bench::failedRow("verify 2 x 1 GiB, cold, vs cat", "the verifier found the copy different");
        return 1;
    }
    bench::ratioRow("verify 2 x 1 GiB, cold, vs cat", v, c, "ms", 1.15);

    // The record a finished run leaves: the bundle's folder, then every item below it.
    std::vector<platform::DriveRecord::Item> items;
    const std::atomic<bool> go{false};
    platform::TreeVerifier::compare(original.toStdString(), copy.toStdString(), 0, go, {}, &items);
    platform::DriveRecord record;
    const std::string bundle = "Install macOS Mojave.app";
    record.items.push_back({platform::DriveRecord::Item::Kind::Folder, 0755, 0, {}, bundle, {}});
    for (auto item : items) {
        item.path = bundle + '/' + item.path;
        record.items.push_back(std::move(item));
    }
    const QString drive = folder.filePath("copy");
    std::vector<double> checks, catCopy;
    bool intact = true;
    for (int round = 0; round < 3; ++round) {
        evict(drive);
        catCopy.push_back(runShell("find '" + drive + "' -type f -print0 | xargs -0 cat > /dev/null"));
        evict(drive);
        QElapsedTimer clock;
        clock.start();
        const auto checked = platform::TreeVerifier::check(drive.toStdString(), record, 0, go);
        checks.push_back(clock.nsecsElapsed() / 1e6);
        intact = intact && checked.outcome == platform::TreeVerifier::Check::Outcome::Intact;
    }
    const double k = median(checks), kc = median(catCopy);
    std::printf(
        "drive check 1 GiB against its record, cold caches: median %.0f ms; cat of the drive's tree %.0f "
        "ms; check / cat = %.2f (target at most 1.0); drive found %s\n",
        k, kc, k / kc, intact ? "intact" : "DAMAGED");
    if (!intact) {
        bench::failedRow("drive check 1 GiB vs cat", "the check found the drive damaged");
        return 1;
    }
    bench::ratioRow("drive check 1 GiB vs cat", k, kc, "ms", 1.0);
    return 0;
}
