// bench_disktools — how fast createinstallmedia puts an installer bundle on a drive, against "cp -a".
//
// Inside a mount namespace of its own (nothing is mounted on the host) it attaches two loop drives of the
// same size, makes a sample installer (BENCH_INSTALLER_SIZE, default 300M) and then, in alternating order,
// times
//   - createinstallmedia: from its "Copying to disk: 0%" to "Install media now available" (the copy, the
//     marker files and the final syncfs), read from its output as it comes;
//   - cp -a of the same bundle onto the other drive, freshly erased with the same disk tool, plus sync -f.
// Before every run all dirty data is written out (sync), so no run pays for the previous one's write-back.
// The first BENCH_COLD_ROUNDS (2) pairs also start with cold caches where /proc/sys/vm/drop_caches can be
// written; the rest (BENCH_ROUNDS, 6 in all) run warm.
// Prints every run, the medians and their ratio (the goal: at most 1.00).

#include "common/BenchRow.h"
#include "common/DriveBench.h"

using namespace bench;

namespace {

const char *const figure = "creation tool's copy vs cp -a (median)";

} // namespace

int benchmark()
{
    if (const std::string reason = privateVolumes(); !reason.empty()) {
        skippedRow(figure, reason);
        return 0;
    }
    const std::string bin = toolsOnPath();

    const char *sizeSetting = getenv("BENCH_INSTALLER_SIZE");
    const std::string size = sizeSetting && *sizeSetting ? sizeSetting : "300M";
    const int rounds = std::max(2, getenv("BENCH_ROUNDS") ? std::atoi(getenv("BENCH_ROUNDS")) : 6);
    const int coldRounds = getenv("BENCH_COLD_ROUNDS") ? std::atoi(getenv("BENCH_COLD_ROUNDS")) : 2;

    const ScratchFolder scratch("bench_disktools");
    const std::string &folder = scratch.path;
    std::string out;
    const std::string bundle = sampleInstaller(folder, size);
    std::string du;
    run({"du", "-s", "-B1", "--apparent-size", bundle}, &du);
    const double megabytes = std::atof(du.c_str()) / 1e6;
    // Room for the bundle and the file system's own needs; both drives alike.
    const long long mebibyte = 1024 * 1024;
    // At least 1 GiB, so mkfs makes the 4 KiB blocks of a real USB drive rather than a small file system's.
    const long long driveBytes =
        std::max(1024 * mebibyte, (static_cast<long long>(megabytes * 1e6 * 1.3) / mebibyte + 64) * mebibyte);

    std::vector<double> toolTimes, copyTimes;
    {
        Drive toolDrive(folder, "BenchTool", driveBytes);
        Drive copyDrive(folder, "BenchCopy", driveBytes);
        toolDrive.format("BenchTool");
        copyDrive.format("BenchCopy");
        std::string toolVolume = "/Volumes/BenchTool";
        const std::string copyVolume = "/Volumes/BenchCopy";
        const bool cold = getenv("BENCH_NO_DROP_CACHES") == nullptr && dropCaches();
        std::printf("installer: %.1f MB, drives: %.0f MB each (ext4 on loop devices)\n", megabytes,
                    driveBytes / 1e6);

        // One untimed run of each first: the first write to a new drive image and the first read of the
        // freshly made bundle cost extra, whichever side comes first.
        for (const auto &warmUp : {std::vector<std::string>{bin + "/createinstallmedia", "--volume",
                                                            toolVolume, bundle, "--nointeraction"},
                                   std::vector<std::string>{"cp", "-a", bundle, copyVolume + "/"}})
            if (run(warmUp, &out) != 0)
                die(warmUp[0] + " failed: " + out);
        toolVolume = "/Volumes/Install macOS Mojave";

        for (int round = 0; round < rounds; ++round) {
            const bool dropped = round < coldRounds && cold;
            auto timeTool = [&] {
                quiet(round < coldRounds && cold);
                Clock::time_point start{}, end{};
                const int status =
                    run({bin + "/createinstallmedia", "--volume", toolVolume, bundle, "--nointeraction"},
                        &out, [&](const std::string &soFar) {
                            if (start == Clock::time_point{} &&
                                soFar.find("Copying to disk: 0%") != std::string::npos)
                                start = Clock::now();
                            if (end == Clock::time_point{} &&
                                soFar.find("Install media now available") != std::string::npos)
                                end = Clock::now();
                        });
                if (status != 0 || start == Clock::time_point{} || end == Clock::time_point{})
                    die("createinstallmedia failed: " + out);
                toolVolume = "/Volumes/Install macOS Mojave";
                toolTimes.push_back(seconds(start, end));
            };
            // Erased right before the copy, as the tool erases right before its copy: the new file system's
            // background initialisation then competes with both copies alike.
            auto timeCopy = [&] {
                quiet(round < coldRounds && cold);
                if (run({bin + "/diskutil", "eraseVolume", "HFS+", "BenchCopy", copyVolume}, &out) != 0)
                    die("diskutil failed: " + out);
                const auto start = Clock::now();
                if (run({"cp", "-a", bundle, copyVolume + "/"}, &out) != 0 ||
                    run({"sync", "-f", copyVolume}) != 0)
                    die("cp -a failed: " + out);
                copyTimes.push_back(seconds(start, Clock::now()));
            };
            if (round % 2 == 0) {
                timeTool();
                timeCopy();
            } else {
                timeCopy();
                timeTool();
            }
            std::printf(
                "round %d%s: createinstallmedia %.3f s (%.0f MB/s), cp -a %.3f s (%.0f MB/s), ratio %.2f\n",
                round + 1, dropped ? " (cold caches)" : " (warm)", toolTimes.back(),
                megabytes / toolTimes.back(), copyTimes.back(), megabytes / copyTimes.back(),
                toolTimes.back() / copyTimes.back());
            std::fflush(stdout);
        }
    }
    const double tool = median(toolTimes), copy = median(copyTimes);
    const double toolBest = *std::min_element(toolTimes.begin(), toolTimes.end());
    const double copyBest = *std::min_element(copyTimes.begin(), copyTimes.end());
    std::printf("best:   createinstallmedia %.3f s, cp -a %.3f s, ratio %.2f\n", toolBest, copyBest,
                toolBest / copyBest);
    std::printf("median: createinstallmedia %.3f s, cp -a %.3f s, ratio %.2f\n", tool, copy, tool / copy);
    ratioRow(figure, tool, copy, "s", 1.00);
    return 0;
}

int main()
{
    try {
        return benchmark();
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "bench_disktools: %s\n", failure.what());
        failedRow(figure, failure.what());
        return 1;
    }
}
