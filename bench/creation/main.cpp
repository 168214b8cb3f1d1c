// Creation-job measurements:
//  1. folderSizeAtPath on a tree of 100,000 files against `du -s -B1 --apparent-size` on the same tree.
//  2. How long the main thread is held while the job measures progress on a volume of 20,000 files: the
//     real create step runs (a scripted tool that just waits), and a 1 ms timer on the main thread records
//     the longest gap between its ticks.
#include "Creation/DiskutilViewModel.h"
#include "common/BenchRow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

void makeTree(const QString &root, int files, int perFolder)
{
    for (int i = 0; i < files; ++i) {
        const QString folder =
            QStringLiteral("%1/d%2/e%3").arg(root).arg(i / (perFolder * 10)).arg(i / perFolder);
        if (i % perFolder == 0)
            QDir().mkpath(folder);
        QFile f(QStringLiteral("%1/f%2").arg(folder).arg(i));
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(i % 4096, 'x'));
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void compareWithDu(const QString &root)
{
    std::vector<double> ours, du;
    float size = 0;
    qint64 duBytes = 0;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer clock;
        clock.start();
        size = DiskutilViewModel::folderSizeAtPath(root);
        ours.push_back(clock.nsecsElapsed() / 1e6);

        QProcess process;
        clock.restart();
        process.start(QStringLiteral("du"),
                      {QStringLiteral("-s"), QStringLiteral("-B1"), QStringLiteral("--apparent-size"), root});
        process.waitForFinished(-1);
        du.push_back(clock.nsecsElapsed() / 1e6);
        duBytes = process.readAllStandardOutput().split('\t').first().toLongLong();
    }
    std::printf("folderSizeAtPath, 100,000 files: median %.1f ms (runs:", median(ours));
    for (double t : ours)
        std::printf(" %.1f", t);
    std::printf(")\ndu -s -B1 --apparent-size:       median %.1f ms (runs:", median(du));
    for (double t : du)
        std::printf(" %.1f", t);
    std::printf(
        ")\nratio ours/du: %.2f; sizes: ours %.3f MiB, du %.3f MiB (du also counts the root folder)\n",
        median(ours) / median(du), size, duBytes / 1048576.0);
    bench::ratioRow("size walk, 100,000 files, warm, vs du", median(ours), median(du), "ms", 0.80);
}

void mainThreadHold(const QString &scratch)
{
    if (::geteuid() != 0) {
        bench::skippedRow("GUI-thread stall during progress ticks",
                          "needs root (the create step starts its tool directly only as root)");
        return;
    }
    const QString bundle = scratch + "/Install macOS Mojave.app";
    const QString target = scratch + "/target";
    makeTree(bundle + "/Contents/SharedSupport", 20000, 200);
    makeTree(target, 20000, 200);
    QDir().mkpath(bundle + "/Contents/Resources");
    QFile tool(bundle + "/Contents/Resources/createinstallmedia");
    tool.open(QIODevice::WriteOnly);
    tool.write("#!/bin/sh\nsleep 6\n");
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QElapsedTimer walk;
    walk.start();
    DiskutilViewModel::folderSizeAtPath(bundle);
    DiskutilViewModel::folderSizeAtPath(target);
    const double walkMs = walk.nsecsElapsed() / 1e6;

    auto macOS = MacOSModel::initWithURL(bundle);
    macOS->setVolume(target);
    auto disk = std::make_shared<DiskModel>();
    disk->setVolume("/Volumes/QRTBENCHMARK");
    auto job = std::make_unique<DiskutilViewModel>();
    int progressReports = 0;
    bool done = false;
    QObject::connect(job.get(), &DiskutilViewModel::diskutilViewModelProgress, [&] { ++progressReports; });
    QObject::connect(job.get(), &DiskutilViewModel::diskutilViewModelCompletion,
                     [&](const DiskutilResult &result) {
                         done = done || result.kind == DiskutilResult::Kind::Yes ||
                                result.kind == DiskutilResult::Kind::No;
                     });

    QElapsedTimer gap;
    gap.start();
    qint64 longest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longest = std::max(longest, gap.nsecsElapsed());
        gap.restart();
    });
    probe.start(1);
    job->installMacOSWithMacOSModel(macOS, disk);
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    probe.stop();
    std::printf("one measurement of both 20,000-file trees (what a tick costs): %.1f ms, done on a worker\n",
                walkMs);
    std::printf("main thread: longest gap between 1 ms timer ticks during %d progress ticks: %.2f ms (target "
                "<= 16)\n",
                progressReports, longest / 1e6);
    bench::budgetRow("GUI-thread stall during progress ticks", longest / 1e6, "ms", 16);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir scratch;
    std::printf("making a tree of 100,000 files…\n");
    std::fflush(stdout);
    makeTree(scratch.filePath("tree"), 100000, 500);
    ::sync();
    compareWithDu(scratch.filePath("tree"));
    mainThreadHold(scratch.filePath("hold"));
    return 0;
}
