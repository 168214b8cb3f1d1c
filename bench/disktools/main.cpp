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
// Prints every run, the medians and their ratio (the target: at most 1.10).

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sched.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double>(to - from).count();
}

// Runs a program; its output is collected, and `seen` is called with the output so far after every read.
template <typename Seen> int run(const std::vector<std::string> &arguments, std::string *output, Seen seen)
{
    std::vector<char *> argv;
    for (const auto &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string collected;
    char buffer[4096];
    for (ssize_t n; spawned == 0 && (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        collected.append(buffer, static_cast<size_t>(n));
        seen(collected);
    }
    close(fds[0]);
    if (output)
        *output = collected;
    if (spawned != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int run(const std::vector<std::string> &arguments, std::string *output = nullptr)
{
    return run(arguments, output, [](const std::string &) {});
}

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// Failures unwind, so the drives are detached on the way out.
[[noreturn]] void die(const std::string &message)
{
    throw std::runtime_error(message);
}

// A loop drive on a sparse image, detached and deleted when it goes away.
struct Drive
{
    std::string image;
    std::string device;

    Drive(const std::string &folder, const std::string &name, long long bytes)
    {
        image = folder + "/" + name + ".img";
        if (run({"truncate", "-s", std::to_string(bytes), image}) != 0)
            die("cannot create " + image);
        std::string out;
        run({"losetup", "--find", "--show", image}, &out);
        // The device is the line losetup prints on standard output; anything else is a warning.
        for (size_t at = 0; at < out.size();) {
            const size_t end = std::min(out.find('\n', at), out.size());
            if (out.compare(at, 9, "/dev/loop") == 0)
                device = out.substr(at, end - at);
            at = end + 1;
        }
        if (device.empty())
            die("losetup failed: " + out);
    }
    void format(const std::string &name)
    {
        std::string out;
        const std::string mountPoint = "/Volumes/" + name;
        mkdir(mountPoint.c_str(), 0755);
        if (run({"mkfs.ext4", "-q", "-F", "-L", name, device}, &out) != 0 ||
            mount(device.c_str(), mountPoint.c_str(), "ext4", 0, nullptr) != 0)
            die("cannot format and mount " + device + ": " + out);
    }
    ~Drive()
    {
        if (device.empty())
            return;
        // Whatever the tools renamed it to: every mount of the device comes off.
        for (int i = 0; i < 4; ++i) {
            std::string out;
            run({"findmnt", "-n", "-o", "TARGET", "--source", device}, &out);
            if (trimmed(out).empty())
                break;
            std::string first = out.substr(0, out.find('\n'));
            umount2(first.c_str(), MNT_DETACH);
        }
        run({"losetup", "-d", device});
        unlink(image.c_str());
    }
};

bool dropCaches()
{
    sync();
    std::ofstream drop("/proc/sys/vm/drop_caches");
    drop << "3\n";
    drop.flush();
    return static_cast<bool>(drop);
}

// Every run starts with nothing left to write back from the one before; cold runs also start with no cache.
void quiet(bool dropCache)
{
    if (dropCache)
        dropCaches();
    else
        sync();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int benchmark()
{
    if (geteuid() != 0) {
        std::printf("bench_disktools: skipped: needs root (loop drives in a private mount namespace)\n");
        return 0;
    }
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        std::printf("bench_disktools: skipped: no private mount namespace (%s)\n", std::strerror(errno));
        return 0;
    }
    mkdir("/Volumes", 0755);
    if (mount("bench-volumes", "/Volumes", "tmpfs", 0, "mode=0755") != 0)
        die(std::string("cannot mount a tmpfs on /Volumes: ") + std::strerror(errno));
    if (access("/dev/loop-control", R_OK | W_OK) != 0) {
        std::printf("bench_disktools: skipped: no loop devices\n");
        return 0;
    }

    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        die("cannot find its own path");
    self[n] = '\0';
    const std::string bin = std::string(self).substr(0, std::string(self).rfind('/'));
    const std::string build = bin.substr(0, bin.rfind('/'));
    setenv("BOOTDRIVE_BUILD_DIR", build.c_str(), 1);
    setenv("PATH", (bin + ":" + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin")).c_str(), 1);

    const char *sizeSetting = getenv("BENCH_INSTALLER_SIZE");
    const std::string size = sizeSetting && *sizeSetting ? sizeSetting : "300M";
    const int rounds = std::max(2, getenv("BENCH_ROUNDS") ? std::atoi(getenv("BENCH_ROUNDS")) : 6);
    const int coldRounds = getenv("BENCH_COLD_ROUNDS") ? std::atoi(getenv("BENCH_COLD_ROUNDS")) : 2;

    char folderTemplate[] = "/var/tmp/bench_disktools.XXXXXX";
    if (!mkdtemp(folderTemplate))
        die("no temporary folder");
    const std::string folder = folderTemplate;
    struct RemovedAtExit
    {
        std::string path;
        ~RemovedAtExit() { run({"rm", "-rf", path}); }
    } removeFolder{folder};
    std::string out;
    if (run({"bash", BOOTDRIVE_SOURCE_DIR "/scripts/make-sample-installer", "Install macOS Mojave", "10.14.6",
             size, folder},
            &out) != 0)
        die("make-sample-installer failed: " + out);
    const std::string bundle = folder + "/Install macOS Mojave.app";
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
    std::printf("median: createinstallmedia %.3f s, cp -a %.3f s, ratio %.2f (target at most 1.10)\n", tool,
                copy, tool / copy);
    return 0;
}

int main()
{
    try {
        return benchmark();
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "bench_disktools: %s\n", failure.what());
        return 1;
    }
}
