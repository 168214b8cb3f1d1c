#include "Platform/Values/Date.h"

#include <QTimeZone>
#include <cmath>

namespace platform {

std::shared_ptr<Date> Date::fromDateTime(const QDateTime &dateTime)
{
    return make(static_cast<double>(dateTime.toMSecsSinceEpoch()) / 1000.0);
}

QDateTime Date::toDateTime() const
{
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(m_seconds * 1000.0)),
                                          QTimeZone::utc());
}

QString Date::description() const
{
    return toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000"));
}

bool Date::isEqual(const Object &other) const
{
    auto *d = dynamic_cast<const Date *>(&other);
    return d && d->m_seconds == m_seconds;
}

} // namespace platform
