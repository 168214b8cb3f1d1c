#pragma once

#include <QByteArray>
#include <QList>
#include <sys/types.h>

namespace testsupport {

// The processes of this machine whose command line contains the text (this process left out): what a job
// may have left running after it was stopped.
QList<pid_t> processesMentioning(const QByteArray &text);

} // namespace testsupport
