#pragma once

// What the benchmarks on real drives share: running programs, loop drives inside a mount namespace of the
// benchmark's own, a sample installer, and dropping a tree's pages. Plain POSIX, so no Qt is needed.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
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

namespace bench {

using Clock = std::chrono::steady_clock;

inline double seconds(Clock::time_point from, Clock::time_point to)
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

inline int run(const std::vector<std::string> &arguments, std::string *output = nullptr)
{
    return run(arguments, output, [](const std::string &) {});
}

inline std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// Failures unwind, so the drives are detached on the way out.
[[noreturn]] inline void die(const std::string &message)
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

inline bool dropCaches()
{
    sync();
    std::ofstream drop("/proc/sys/vm/drop_caches");
    drop << "3\n";
    drop.flush();
    return static_cast<bool>(drop);
}

// Every run starts with nothing left to write back from the one before; cold runs also start with no cache.
inline void quiet(bool dropCache)
{
    if (dropCache)
        dropCaches();
    else
        sync();
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Enters a mount namespace of its own with an empty /Volumes, so nothing is mounted on the host. Returns why
// drive benchmarks cannot run here, or nothing.
inline std::string privateVolumes()
{
    if (geteuid() != 0)
        return "needs root (loop drives in a private mount namespace)";
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("no private mount namespace (") + std::strerror(errno) + ")";
    mkdir("/Volumes", 0755);
    if (mount("bench-volumes", "/Volumes", "tmpfs", 0, "mode=0755") != 0)
        return std::string("cannot mount a tmpfs on /Volumes (") + std::strerror(errno) + ")";
    if (access("/dev/loop-control", R_OK | W_OK) != 0)
        return "no loop devices";
    return {};
}

// The build's bin folder, put first on PATH, with the build folder named for the scripts that make samples.
inline std::string toolsOnPath()
{
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        die("cannot find its own path");
    self[n] = '\0';
    const std::string bin = std::string(self).substr(0, std::string(self).rfind('/'));
    const std::string build = bin.substr(0, bin.rfind('/'));
    setenv("BOOTDRIVE_BUILD_DIR", build.c_str(), 1);
    setenv("PATH", (bin + ":" + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin")).c_str(), 1);
    return bin;
}

// A scratch folder on the disk (not tmpfs), removed with all it holds.
struct ScratchFolder
{
    std::string path;
    explicit ScratchFolder(const char *prefix)
    {
        std::string name = std::string("/var/tmp/") + prefix + ".XXXXXX";
        if (!mkdtemp(name.data()))
            die("no temporary folder");
        path = name;
    }
    ~ScratchFolder() { run({"rm", "-rf", path}); }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;
};

// Makes "<folder>/Install macOS Mojave.app" of about `size` (make-sample-installer's form: 300M) and returns
// its path.
inline std::string sampleInstaller(const std::string &folder, const std::string &size)
{
    std::string out;
    if (run({"bash", BOOTDRIVE_SOURCE_DIR "/scripts/make-sample-installer", "Install macOS Mojave", "10.14.6",
             size, folder},
            &out) != 0)
        die("make-sample-installer failed: " + out);
    return folder + "/Install macOS Mojave.app";
}

// Writes out the tree's dirty data and drops its pages from the cache, so the next read comes from the drive;
// the machine's other caches stay.
inline void dropPages(const std::string &root)
{
    sync();
    nftw(
        root.c_str(),
        [](const char *path, const struct stat *, int type, struct FTW *) {
            if (type == FTW_F)
                if (const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW); fd >= 0) {
                    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
                    close(fd);
                }
            return 0;
        },
        64, FTW_PHYS);
}

} // namespace bench
