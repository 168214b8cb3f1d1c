#include "Creation/BaseModel.h"

#include "Common/SafeMerge.h"
#include "Platform/Volumes/FileSystem.h"

#include <QProcess>

BaseModel::BaseModel(const QVariantMap &dictionary)
{
    m_errorMessage = SafeMerge::safe_stringForKey(dictionary, QStringLiteral("message")).value_or(QString());
    m_requestSuccessed = SafeMerge::safe_stringForKey(dictionary, QStringLiteral("state")) == u"M00000";
}

std::shared_ptr<BaseModel> BaseModel::networkingErrorModelWithNSError(const platform::Error &error)
{
    auto model = std::make_shared<BaseModel>();
    model->setRequestSuccessed(false);
    model->setErrorMessage(
        QString::asprintf("当前网络不可用 error code: %lld", static_cast<long long>(error.code)));
    return model;
}

QString BaseModel::cmdWithShell(const QString &command)
{
    // Standard error goes wherever the application's own goes.
    QProcess shell;
    shell.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    shell.start(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), command});
    shell.waitForFinished(-1);
    return QString::fromUtf8(shell.readAllStandardOutput());
}

int64_t BaseModel::fileSizeAtPath(const QString &path)
{
    if (!platform::FileSystem::exists(path))
        return 0;
    return platform::FileSystem::itemSize(path);
}

int64_t BaseModel::sizeAtPath(const QString &path)
{
    if (!platform::FileSystem::exists(path))
        return 0;
    if (!platform::FileSystem::isDirectory(path))
        return platform::FileSystem::itemSize(path);
    int64_t total = 0;
    platform::FileSystem::walkBelow(
        path, [&total](const struct stat &info) { total += static_cast<int64_t>(info.st_size); });
    return total;
}

QString BaseModel::fileSizeString(int64_t bytes)
{
    const double n = static_cast<double>(bytes);
    if (bytes >= 1073741824LL)
        return QString::asprintf("%.2f GB", n / 1073741824.0);
    if (bytes >= 1048576LL)
        return QString::asprintf("%.2f MB", n / 1048576.0);
    if (bytes > 1024LL)
        return QString::asprintf("%.2f KB", n / 1024.0);
    return QString::asprintf("%.2f B", n);
}

QString BaseModel::fileSizeKB(int64_t kibibytes)
{
    const double n = static_cast<double>(kibibytes);
    if (kibibytes >= 1048576LL)
        return QString::asprintf("%.2f GB", n / 1048576.0);
    if (kibibytes > 1024LL)
        return QString::asprintf("%.2f MB", n / 1024.0);
    return QString::asprintf("%.2lld KB", static_cast<long long>(kibibytes));
}
