#include "Creation/PrivilegedTask.h"

#include "Platform/Process/Authorization.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

PrivilegedTask::PrivilegedTask() : m_cwd(QDir::currentPath()) {}

// The helper's input ends with the task (m_inputFd): a program nobody waits for any more is stopped.
PrivilegedTask::~PrivilegedTask() = default;

namespace {

bool onGuiThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

std::shared_ptr<PrivilegedTask> PrivilegedTask::held(PrivilegedTask *task)
{
    // The last holder may be a worker; the task and its timer belong to the GUI thread.
    return std::shared_ptr<PrivilegedTask>(task, [](PrivilegedTask *released) {
        if (onGuiThread() && !released->m_checkStatusTimer)
            return delete released;
        QMetaObject::invokeMethod(
            released,
            [released] {
                if (released->m_checkStatusTimer)
                    released->m_released = true;
                else
                    delete released;
            },
            Qt::QueuedConnection);
    });
}

std::shared_ptr<PrivilegedTask> PrivilegedTask::init()
{
    return held(new PrivilegedTask);
}

std::shared_ptr<PrivilegedTask> PrivilegedTask::initWithLaunchPath(const QString &launchPath)
{
    auto task = init();
    task->m_launchPath = launchPath;
    return task;
}

std::shared_ptr<PrivilegedTask> PrivilegedTask::initWithLaunchPath(const QString &launchPath,
                                                                   const QStringList &arguments)
{
    auto task = initWithLaunchPath(launchPath);
    task->m_arguments = arguments;
    return task;
}

std::shared_ptr<PrivilegedTask>
PrivilegedTask::launchedPrivilegedTaskWithLaunchPath(const QString &launchPath)
{
    return launchedPrivilegedTaskWithLaunchPath(launchPath, {});
}

std::shared_ptr<PrivilegedTask>
PrivilegedTask::launchedPrivilegedTaskWithLaunchPath(const QString &launchPath, const QStringList &arguments)
{
    auto task = initWithLaunchPath(launchPath, arguments);
    task->launch();
    task->waitUntilExit();
    return task;
}

int32_t PrivilegedTask::launch()
{
    // The working directory goes to the child alone; the process's own never changes, so other threads
    // using relative paths are unaffected.
    if (m_cancelRequested)
        return platform::Authorization::Canceled;
    const platform::Authorization::Launch launched = platform::Authorization::execute(
        m_launchPath, m_arguments, m_cwd,
        [this](pid_t pid) {
            std::lock_guard<std::mutex> lock(m_stopMutex);
            m_startingPid = pid;
            if (m_cancelRequested)
                ::kill(pid, SIGTERM);
        },
        m_stays);
    {
        std::lock_guard<std::mutex> lock(m_stopMutex);
        m_startingPid = 0;
        if (launched.status != platform::Authorization::Success)
            return m_cancelRequested ? platform::Authorization::Canceled : launched.status;
        m_inputFd.reset(launched.inputFd);
        // Asked to stop while the answer was on its way: the program stops at once.
        if (m_cancelRequested)
            m_inputFd.reset();
    }

    m_ended = false;
    m_isRunning = true;
    m_outputFileHandle = std::make_shared<QFile>();
    m_outputFileHandle->open(launched.outputFd, QIODevice::ReadOnly | QIODevice::Unbuffered,
                             QFileDevice::AutoCloseHandle);
    m_pid = launched.pid;
    m_programGroup = launched.programGroup;

    if (onGuiThread()) {
        m_checkStatusTimer = new QTimer(this);
        connect(m_checkStatusTimer, &QTimer::timeout, this, &PrivilegedTask::checkTaskStatus);
        m_checkStatusTimer->start(100);
    }
    return 0;
}

void PrivilegedTask::collect(int options)
{
    const pid_t pid = m_pid.load();
    if (pid <= 0 || m_ended.load())
        return;
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(pid, &status, options);
    } while (result < 0 && errno == EINTR);
    if (result == 0)
        return; // still running
    if (result == pid)
        m_terminationStatus = status;
    m_ended = true;
    m_isRunning = false;
}

void PrivilegedTask::cancel()
{
    std::lock_guard<std::mutex> lock(m_stopMutex);
    m_cancelRequested = true;
    m_inputFd.reset();
    // pkexec still asking can be signalled by its user; the helper only by root (the end of its input
    // reaches it either way).
    const pid_t pid = m_startingPid > 0 ? m_startingPid : (m_ended ? 0 : m_pid.load());
    if (pid > 0)
        ::kill(pid, SIGTERM);
}

QByteArray PrivilegedTask::programOutput(const QByteArray &chunk, QByteArray *afterEnd)
{
    if (m_programEnded) {
        if (afterEnd)
            *afterEnd = chunk;
        return {};
    }
    QByteArray data = std::exchange(m_heldOutput, {}) + chunk;
    if (chunk.isEmpty())
        return data;
    const QByteArray marker = QByteArray("\n") + platform::Authorization::endedMarker();
    constexpr qsizetype longestStatus = 3;
    qsizetype from = 0;
    for (qsizetype at; (at = data.indexOf(marker, from)) >= 0; from = at + 1) {
        const qsizetype digits = at + marker.size();
        const qsizetype lineEnd = data.indexOf('\n', digits);
        if (lineEnd < 0 && data.size() - digits <= longestStatus) {
            m_heldOutput = data.mid(at);
            return data.left(at);
        }
        bool number = false;
        const int status =
            lineEnd - digits <= longestStatus ? data.mid(digits, lineEnd - digits).toInt(&number) : 0;
        if (lineEnd >= 0 && number && status >= 0) {
            m_programEnded = true;
            m_programStatus = status;
            if (afterEnd)
                *afterEnd = data.mid(lineEnd + 1);
            return data.left(at);
        }
    }
    // A tail that may begin the marker waits for the next piece.
    for (qsizetype kept = std::min(marker.size() - 1, data.size() - from); kept > 0; --kept) {
        if (data.endsWith(marker.left(kept))) {
            m_heldOutput = data.right(kept);
            return data.chopped(kept);
        }
    }
    return data;
}

bool PrivilegedTask::handOver(const QByteArray &request)
{
    posix::FileDescriptor input;
    {
        std::lock_guard<std::mutex> lock(m_stopMutex);
        if (m_cancelRequested || !m_inputFd)
            return false;
        input = std::move(m_inputFd);
    }
    const bool sent = platform::Authorization::sendToHelper(input.get(), request, m_cancelRequested);
    std::lock_guard<std::mutex> lock(m_stopMutex);
    // A cancel meanwhile found no input to close: it closes here, which the helper takes as the stop.
    if (!sent || m_cancelRequested)
        return false;
    m_inputFd = std::move(input);
    return true;
}

void PrivilegedTask::finish()
{
    std::lock_guard<std::mutex> lock(m_stopMutex);
    m_inputFd.reset();
}

void PrivilegedTask::stopChecking()
{
    if (m_checkStatusTimer) {
        m_checkStatusTimer->stop();
        m_checkStatusTimer->deleteLater();
        m_checkStatusTimer = nullptr;
    }
    // Nobody holds it any more: it goes once whoever heard of the end is done.
    if (m_released)
        deleteLater();
}

void PrivilegedTask::waitUntilExit()
{
    collect(0);
    // The end is known: the status check has nothing left to see.
    if (m_ended.load() && onGuiThread())
        stopChecking();
    if (m_ended.load() && m_programGroup > 0)
        m_programLeftRunning = !platform::Authorization::waitForProgramGroup(m_programGroup, 15000);
}

void PrivilegedTask::checkTaskStatus()
{
    // Ended now, or already collected by waitUntilExit: either way it is over.
    collect(WNOHANG);
    if (!m_ended.load())
        return;
    stopChecking();
    emit didTerminate();
}

bool PrivilegedTask::exitedSuccessfully() const
{
    const int status = m_terminationStatus.load();
    return m_ended.load() && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

QString PrivilegedTask::description() const
{
    QString text = QStringLiteral("<PrivilegedTask: 0x%1> %2")
                       .arg(reinterpret_cast<quintptr>(this), 0, 16)
                       .arg(m_launchPath);
    for (const QString &argument : m_arguments)
        text += QLatin1Char(' ') + argument;
    return text;
}
