// How long the application takes from exec to a mapped window, and to the first drawing in it, against a bare
// Qt window with one label, in the same run on the same X server. A private Xvfb is started; the driver
// watches the server for the first top-level window to be mapped (MapNotify on the root) and then for the
// first damage to that window (the Damage extension), so neither program is changed for the measurement.
// Each program runs 31 times, alternating; medians are compared (fewer runs let the machine's drift of a few
// ms move the ratio by several hundredths). The target is a window mapped, and drawn
// into, at most 1.6 × as late as the bare window.
#include "common/BenchRow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xcb/damage.h>
#include <xcb/xcb.h>

extern char **environ;

namespace {

constexpr int Rounds = 31;
const char *const MappedFigure = "start-up to mapped window vs bare Qt window";
const char *const DrawnFigure = "start-up to first drawing vs bare Qt window";

struct Server
{
    pid_t pid = -1;
    std::string display;
};

Server startXvfb()
{
    for (int number = 90; number < 120; ++number) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        if (QFileInfo::exists(QString::fromStdString(socket)))
            continue;
        Server server;
        server.display = ":" + std::to_string(number);
        std::vector<std::string> args{"Xvfb",        server.display, "-screen", "0",
                                      "1280x800x24", "-nolisten",    "tcp"};
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&server.pid, "Xvfb", nullptr, nullptr, argv.data(), environ) != 0)
            return {};
        QElapsedTimer waited;
        waited.start();
        while (!QFileInfo::exists(QString::fromStdString(socket)) && waited.elapsed() < 5000)
            usleep(10000);
        return server;
    }
    return {};
}

struct Timing
{
    double mapped = -1; // exec to the first map of a top-level window, ms
    double drawn = -1;  // exec to the first drawing in that window, ms
};

// Runs the program until its first top-level window is mapped and drawn into (or 10 s pass), then stops it.
Timing timeToFirstFrame(xcb_connection_t *connection, uint8_t damageEvent, const std::string &program,
                        const std::vector<std::string> &env)
{
    std::vector<std::string> args{program};
    std::vector<char *> argv;
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = env;
    for (char **variable = environ; *variable; ++variable)
        environment.emplace_back(*variable);
    std::vector<char *> envp;
    for (auto &e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    while (xcb_generic_event_t *stale = xcb_poll_for_event(connection))
        free(stale);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = -1;
    Timing timing;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0)
        return timing;
    xcb_damage_damage_t damage = XCB_NONE;
    bool initialReportSeen = false;
    pollfd watch{xcb_get_file_descriptor(connection), POLLIN, 0};
    while (timing.drawn < 0 && clock.elapsed() < 10000) {
        poll(&watch, 1, 50);
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_MAP_NOTIFY && timing.mapped < 0) {
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                if (!map->override_redirect) {
                    timing.mapped = clock.nsecsElapsed() / 1e6;
                    // The program can only draw once it has seen the window exposed, which follows the map;
                    // the damage object is in place well before that.
                    damage = xcb_generate_id(connection);
                    xcb_damage_create(connection, damage, map->window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
                    xcb_flush(connection);
                }
            } else if (type == damageEvent + XCB_DAMAGE_NOTIFY && timing.mapped >= 0 && timing.drawn < 0) {
                if (!initialReportSeen) {
                    // A new damage object first reports the whole window; clearing it arms the next report,
                    // which is the program's own drawing.
                    initialReportSeen = true;
                    xcb_damage_subtract(connection, damage, XCB_NONE, XCB_NONE);
                    xcb_flush(connection);
                } else {
                    timing.drawn = clock.nsecsElapsed() / 1e6;
                }
            }
            free(event);
        }
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    // The damage object goes with the window; the next run drops whatever events are left.
    return timing;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString bin = QCoreApplication::applicationDirPath();
    const Server server = startXvfb();
    const auto skipped = [](const std::string &reason) {
        bench::skippedRow(MappedFigure, reason);
        bench::skippedRow(DrawnFigure, reason);
        return 0;
    };
    if (server.pid <= 0)
        return skipped("no X server (Xvfb could not be started)");
    xcb_connection_t *connection = xcb_connect(server.display.c_str(), nullptr);
    if (xcb_connection_has_error(connection)) {
        kill(server.pid, SIGTERM);
        return skipped("cannot connect to the X server at " + server.display);
    }
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_query_extension_reply_t *damageExtension = xcb_get_extension_data(connection, &xcb_damage_id);
    if (!damageExtension || !damageExtension->present) {
        kill(server.pid, SIGTERM);
        return skipped("the X server has no Damage extension");
    }
    const uint8_t damageEvent = damageExtension->first_event;
    free(xcb_damage_query_version_reply(
        connection, xcb_damage_query_version(connection, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
        nullptr));
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);

    QTemporaryDir home;
    const std::vector<std::string> env{"DISPLAY=" + server.display, "QT_QPA_PLATFORM=xcb",
                                       "HOME=" + home.path().toStdString(),
                                       "XDG_RUNTIME_DIR=" + home.path().toStdString(),
                                       // A closed loopback port: the catalog requests fail at once, offline.
                                       "BOOTDRIVE_SERVICE_URL=http://127.0.0.1:9"};
    const std::string bare = (bin + "/bench_startup_window").toStdString();
    const std::string bootdrive = (bin + "/bootdrive").toStdString();
    std::vector<Timing> bareTimes, appTimes;
    // Warm the caches (fonts, libraries) once each, then alternate.
    timeToFirstFrame(connection, damageEvent, bare, env);
    timeToFirstFrame(connection, damageEvent, bootdrive, env);
    for (int round = 0; round < Rounds; ++round) {
        bareTimes.push_back(timeToFirstFrame(connection, damageEvent, bare, env));
        appTimes.push_back(timeToFirstFrame(connection, damageEvent, bootdrive, env));
    }
    xcb_disconnect(connection);
    kill(server.pid, SIGTERM);
    waitpid(server.pid, nullptr, 0);

    const auto medianOf = [](const std::vector<Timing> &timings, double Timing::*field) {
        std::vector<double> values;
        for (const Timing &timing : timings)
            values.push_back(timing.*field);
        return median(values);
    };
    const double bareMapped = medianOf(bareTimes, &Timing::mapped);
    const double appMapped = medianOf(appTimes, &Timing::mapped);
    const double bareDrawn = medianOf(bareTimes, &Timing::drawn);
    const double appDrawn = medianOf(appTimes, &Timing::drawn);
    std::printf("medians of %d (ms)        bare Qt window with one label   bootdrive   bootdrive / bare\n",
                Rounds);
    std::printf("exec to mapped window     %30.1f %11.1f %18.2f\n", bareMapped, appMapped,
                appMapped / bareMapped);
    std::printf("exec to first drawing     %30.1f %11.1f %18.2f\n", bareDrawn, appDrawn,
                appDrawn / bareDrawn);
    bench::ratioRow(MappedFigure, appMapped, bareMapped, "ms", 1.6);
    bench::ratioRow(DrawnFigure, appDrawn, bareDrawn, "ms", 1.6);
    return 0;
}
