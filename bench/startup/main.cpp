// How long the application takes from exec to a mapped window, against a bare Qt window with one label, in
// the same run on the same X server. A private Xvfb is started; the driver watches the server for the first
// top-level window to be mapped (MapNotify on the root), so neither program is changed for the measurement.
// Each program runs 15 times, alternating; medians are compared. The target is at most 1.5 × the bare window.
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
#include <xcb/xcb.h>

extern char **environ;

namespace {

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

// Milliseconds from the start of the program to the first map of a top-level window; -1 when none came.
double timeToMap(xcb_connection_t *connection, const std::string &program,
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
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    double mapped = -1;
    pollfd watch{xcb_get_file_descriptor(connection), POLLIN, 0};
    while (mapped < 0 && clock.elapsed() < 10000) {
        poll(&watch, 1, 50);
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                if (!map->override_redirect && mapped < 0)
                    mapped = clock.nsecsElapsed() / 1e6;
            }
            free(event);
        }
    }
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return mapped;
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
    if (server.pid <= 0) {
        std::printf("bench_startup: Xvfb could not be started\n");
        return 1;
    }
    xcb_connection_t *connection = xcb_connect(server.display.c_str(), nullptr);
    if (xcb_connection_has_error(connection)) {
        std::printf("bench_startup: cannot connect to %s\n", server.display.c_str());
        kill(server.pid, SIGTERM);
        return 1;
    }
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
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
    std::vector<double> bareTimes, appTimes;
    // Warm the caches (fonts, libraries) once each, then alternate.
    timeToMap(connection, bare, env);
    timeToMap(connection, bootdrive, env);
    for (int round = 0; round < 15; ++round) {
        bareTimes.push_back(timeToMap(connection, bare, env));
        appTimes.push_back(timeToMap(connection, bootdrive, env));
    }
    xcb_disconnect(connection);
    kill(server.pid, SIGTERM);
    waitpid(server.pid, nullptr, 0);

    const double b = median(bareTimes), a = median(appTimes);
    std::printf(
        "exec to mapped window, median of 15 (ms): bare Qt window with one label %.1f; bootdrive %.1f\n", b,
        a);
    std::printf("bootdrive / bare = %.2f (target at most 1.5)\n", a / b);
    return a > 0 && b > 0 && a <= 1.5 * b ? 0 : 1;
}
