// bench_drive — how long a user waits for a finished drive: the whole `bootdrive create --yes` on a loop
// drive (the erase, the creation tool with its own erase and copy, the verification) against the same work
// done by the shell in the same run on a second loop drive of the same size:
//   erase     mkfs.ext4, mount, unmount, mkfs.ext4 again, mount (the app's erase and the tool's own);
//   copy      cp -a of the bundle, then sync;
//   verify    the pages of both trees dropped (sync and posix_fadvise DONTNEED, never the machine-wide
//             drop_caches), then both read with cat.
// Inside a mount namespace of its own, with a sample installer of BENCH_INSTALLER_SIZE (300M); BENCH_ROUNDS
// (5) pairs, alternating which goes first, after one untimed pair. The medians of the totals are compared,
// and each phase's median is printed so a difference can be placed. Goal: at most 1.10.

#include "common/BenchRow.h"
#include "common/DriveBench.h"

#include <map>

using namespace bench;

namespace {

const char *const Figure = "time to a finished drive vs the shell (median)";
using Phases = std::map<std::string, double>;

// The app's phases as its JSON lines name them, timed from one change of phase to the next.
class PhaseClock
{
public:
    explicit PhaseClock(Phases &phases) : m_phases(phases), m_at(Clock::now()) {}
    void seen(const std::string &output)
    {
        for (size_t end; (end = output.find('\n', m_read)) != std::string::npos; m_read = end + 1) {
            static const std::string key = "\"phase\":\"";
            const size_t at = output.find(key, m_read);
            if (at == std::string::npos || at > end)
                continue;
            const size_t from = at + key.size();
            enter(output.substr(from, output.find('"', from) - from));
        }
    }
    void end() { enter({}); }

private:
    void enter(const std::string &phase)
    {
        if (phase == m_phase)
            return;
        const auto now = Clock::now();
        if (!m_phase.empty())
            m_phases[m_phase] += seconds(m_at, now);
        m_phase = phase;
        m_at = now;
    }
    Phases &m_phases;
    std::string m_phase;
    Clock::time_point m_at;
    size_t m_read = 0;
};

double total(const Phases &phases)
{
    double sum = 0;
    for (const auto &[name, time] : phases)
        sum += time;
    return sum;
}

Phases timeApp(const std::string &bin, const std::string &bundle, const std::string &volume)
{
    sync();
    Phases phases;
    PhaseClock clock(phases);
    const auto start = Clock::now();
    std::string out;
    const int status =
        run({bin + "/bootdrive", "create", "--installer", bundle, "--volume", volume, "--yes", "--json"},
            &out, [&](const std::string &soFar) { clock.seen(soFar); });
    clock.end();
    if (status != 0)
        die("bootdrive create failed (" + std::to_string(status) + "): " + out);
    phases["(start-up and exit)"] = seconds(start, Clock::now()) - total(phases);
    return phases;
}

Phases timeShell(Drive &drive, const std::string &mountPoint, const std::string &bundle)
{
    sync();
    Phases phases;
    std::string out;
    auto start = Clock::now();
    const auto erase = [&](const char *label) {
        umount2(mountPoint.c_str(), 0);
        if (run({"mkfs.ext4", "-F", "-q", "-m", "0", "-L", label, drive.device}, &out) != 0 ||
            mount(drive.device.c_str(), mountPoint.c_str(), "ext4", 0, nullptr) != 0)
            die("cannot erase " + drive.device + ": " + out);
    };
    erase("BenchShell");
    erase("Install macOS Mojave");
    phases["erase"] = seconds(start, Clock::now());

    start = Clock::now();
    if (run({"cp", "-a", bundle, mountPoint + "/"}, &out) != 0 || run({"sync"}) != 0)
        die("cp -a failed: " + out);
    phases["copy"] = seconds(start, Clock::now());

    start = Clock::now();
    const std::string copy = mountPoint + bundle.substr(bundle.rfind('/'));
    dropPages(bundle);
    dropPages(copy);
    if (run({"bash", "-c", "find \"$0\" \"$1\" -type f -print0 | xargs -0 cat > /dev/null", bundle, copy}) !=
        0)
        die("cat of both trees failed");
    phases["verify"] = seconds(start, Clock::now());
    return phases;
}

void printMedians(const char *who, const std::vector<Phases> &runs)
{
    Phases names = runs.front();
    for (const auto &[name, ignored] : names) {
        std::vector<double> times;
        for (const Phases &phases : runs)
            times.push_back(phases.count(name) ? phases.at(name) : 0);
        std::printf("  %-10s %-20s %7.3f s\n", who, name.c_str(), median(times));
    }
}

int benchmark()
{
    if (const std::string reason = privateVolumes(); !reason.empty()) {
        skippedRow(Figure, reason);
        return 0;
    }
    const std::string bin = toolsOnPath();
    const char *sizeSetting = getenv("BENCH_INSTALLER_SIZE");
    const std::string size = sizeSetting && *sizeSetting ? sizeSetting : "300M";
    const int rounds = std::max(1, getenv("BENCH_ROUNDS") ? std::atoi(getenv("BENCH_ROUNDS")) : 5);

    const ScratchFolder scratch("bench_drive");
    const std::string bundle = sampleInstaller(scratch.path, size);
    const long long driveBytes = 1536LL * 1024 * 1024;
    std::vector<Phases> appRuns, shellRuns;
    std::vector<double> appTotals, shellTotals;
    {
        Drive appDrive(scratch.path, "BenchApp", driveBytes);
        Drive shellDrive(scratch.path, "BenchShell", driveBytes);
        appDrive.format("BenchApp");
        shellDrive.format("BenchShell");
        std::string appVolume = "/Volumes/BenchApp";
        const std::string shellVolume = "/Volumes/BenchShell";
        std::printf("installer %s, drives of %lld MiB (ext4 on loop devices), %d rounds\n", size.c_str(),
                    driveBytes >> 20, rounds);
        std::fflush(stdout);
        timeApp(bin, bundle, appVolume);
        appVolume = "/Volumes/Install macOS Mojave";
        timeShell(shellDrive, shellVolume, bundle);
        for (int round = 0; round < rounds; ++round) {
            const auto app = [&] {
                appRuns.push_back(timeApp(bin, bundle, appVolume));
                appTotals.push_back(total(appRuns.back()));
            };
            const auto shell = [&] {
                shellRuns.push_back(timeShell(shellDrive, shellVolume, bundle));
                shellTotals.push_back(total(shellRuns.back()));
            };
            if (round % 2 == 0) {
                app();
                shell();
            } else {
                shell();
                app();
            }
            std::printf("round %d: bootdrive create %.3f s, the shell %.3f s, ratio %.2f;", round + 1,
                        appTotals.back(), shellTotals.back(), appTotals.back() / shellTotals.back());
            for (const auto &[name, time] : appRuns.back())
                std::printf(" %s %.3f", name.c_str(), time);
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    std::printf("medians by phase:\n");
    printMedians("bootdrive", appRuns);
    printMedians("shell", shellRuns);
    ratioRow(Figure, median(appTotals), median(shellTotals), "s", 1.10);
    return 0;
}

} // namespace

int main()
{
    try {
        return benchmark();
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "bench_drive: %s\n", failure.what());
        failedRow(Figure, failure.what());
        return 1;
    }
}
