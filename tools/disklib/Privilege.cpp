#include "disklib/Privilege.h"

#include "disklib/Command.h"
#include "disklib/Console.h"

#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

namespace disktools {

bool Privilege::startedByPkexec()
{
    return std::getenv("PKEXEC_UID") != nullptr;
}

bool Privilege::needsElevation()
{
    if (startedByPkexec())
        return false;
    if (geteuid() != 0)
        return true;
    const char *assume = std::getenv("BOOTDRIVE_DISKUTIL_ASSUME_USER");
    return assume && std::strcmp(assume, "1") == 0;
}

bool Privilege::invokingUser(uid_t &uid, gid_t &gid)
{
    const char *text = std::getenv("PKEXEC_UID");
    if (!text || !*text)
        return false;
    char *end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (*end != '\0')
        return false;
    uid = static_cast<uid_t>(value);
    const passwd *user = getpwuid(uid);
    gid = user ? user->pw_gid : static_cast<gid_t>(value);
    return true;
}

int Privilege::rerunThroughPkexec(int argc, char **argv, const std::string &verb,
                                  const std::string &unchanged)
{
    const std::string pkexec = Command::find("pkexec", false);
    if (pkexec.empty()) {
        Console::error("administrator rights are needed to " + verb +
                       " a volume, and pkexec is not available");
        return 1;
    }
    // pkexec wants an absolute program path; /proc/self/exe is the binary running now.
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        Console::error("cannot find this program's own path");
        return 1;
    }
    self[n] = '\0';
    std::vector<std::string> arguments{pkexec, self, "--parent", std::to_string(getpid())};
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    const CommandResult result = Command::runInheritingOutput(arguments);
    if (!result.started) {
        Console::error("could not start pkexec (" + result.error + ")");
        return 1;
    }
    if (result.signal != 0) {
        Console::error(std::string("the privileged run ended by signal ") + strsignal(result.signal));
        return 1;
    }
    switch (result.exitStatus) {
    case 126:
        Console::error("authorization was dismissed; " + unchanged);
        return 1;
    case 127:
        Console::error("not authorized to " + verb + " volumes; " + unchanged);
        return 1;
    default:
        return result.exitStatus;
    }
}

bool Privilege::tieToParent(pid_t parent)
{
    // pkexec runs the program in its own process, so the parent is the run that asked; a set-user-ID start
    // clears any death signal set before it, so it is set here.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    return getppid() == parent;
}

} // namespace disktools
