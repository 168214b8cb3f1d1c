#include "UI/RunStatus.h"

#include "Creation/BaseModel.h"

#include <algorithm>
#include <cmath>

void RunStatus::enter(DiskutilState state, bool asRoot)
{
    m_state = state;
    m_asRoot = asRoot;
    m_driveCheck = false;
    m_fraction = -1;
}

void RunStatus::enterCheck()
{
    enter(DiskutilState::Verifying, false);
    m_driveCheck = true;
}

void RunStatus::copied(double fraction, qint64 installerBytes, qint64 ms)
{
    if (m_state != DiskutilState::Creating)
        return;
    if (m_fraction < 0)
        m_rate.restart(installerBytes);
    m_fraction = std::clamp(fraction, 0.0, 1.0);
    m_rate.sample(ms, std::llround(m_fraction * static_cast<double>(installerBytes)));
}

void RunStatus::verified(qint64 bytesDone, qint64 bytesTotal, qint64 ms)
{
    if (m_state != DiskutilState::Verifying || bytesTotal <= 0)
        return;
    if (m_fraction < 0)
        m_rate.restart(bytesTotal);
    m_fraction = std::clamp(static_cast<double>(bytesDone) / static_cast<double>(bytesTotal), 0.0, 1.0);
    m_rate.sample(ms, bytesDone);
}

QString RunStatus::durationText(qint64 seconds)
{
    if (seconds < 60)
        return tr("不到 1 分钟");
    const qint64 minutes = (seconds + 30) / 60;
    if (minutes < 60)
        return seconds < 600 ? tr("约 %1 分 %2 秒").arg(seconds / 60).arg(seconds % 60)
                             : tr("约 %1 分钟").arg(minutes);
    return tr("约 %1 小时 %2 分").arg(minutes / 60).arg(minutes % 60);
}

QString RunStatus::text() const
{
    QString phase;
    switch (m_state) {
    case DiskutilState::Idle:
        return {};
    case DiskutilState::Checking:
        // The checks before the erase are the first moments of the erase step the line above announces.
        return {};
    case DiskutilState::Erasing:
        return tr("第 1 步，共 3 步：正在格式化驱动器…");
    case DiskutilState::Erased:
    case DiskutilState::Authorizing:
        // Nobody is asked when the application already runs as root.
        return m_asRoot ? tr("第 2 步，共 3 步：正在启动制作工具…") : tr("第 2 步，共 3 步：等待管理员授权…");
    case DiskutilState::Creating:
        phase = tr("第 2 步，共 3 步：正在写入安装器");
        break;
    case DiskutilState::Verifying:
        phase = m_driveCheck ? tr("正在校验驱动器") : tr("第 3 步，共 3 步：正在校验");
        break;
    }
    if (m_fraction < 0)
        return phase + QStringLiteral("…");
    QString line = phase + QStringLiteral(" %1%").arg(std::floor(m_fraction * 100), 0, 'f', 0);
    if (const std::optional<double> speed = m_rate.bytesPerSecond())
        line += QStringLiteral(" · %1/s").arg(BaseModel::fileSizeString(std::llround(*speed)));
    if (const std::optional<qint64> left = m_rate.secondsLeft())
        line += QStringLiteral(" · ") + tr("剩余%1").arg(durationText(*left));
    return line;
}
