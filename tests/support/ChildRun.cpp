#include "support/ChildRun.h"

#include <QProcessEnvironment>

bool ChildRun::isChild()
{
    return qEnvironmentVariable("BOOTDRIVE_TEST_CHILD") == QLatin1String("1");
}

ChildRun::Result ChildRun::runCurrentTest(const QStringList &environment)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LANG", "LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("BOOTDRIVE_TEST_CHILD"), QStringLiteral("1"));
    for (const QString &entry : environment)
        env.insert(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
    return testsupport::TestRerun::run(env);
}
