#pragma once

#include "Platform/Values/Object.h"

#include <QDateTime>

namespace platform {

// A point in time, kept as seconds since 1970-01-01 UTC with sub-second precision.
class Date final : public Object
{
public:
    explicit Date(double secondsSince1970 = 0) : m_seconds(secondsSince1970) {}
    static std::shared_ptr<Date> make(double secondsSince1970)
    {
        return std::make_shared<Date>(secondsSince1970);
    }
    static std::shared_ptr<Date> fromDateTime(const QDateTime &dateTime);

    double timeIntervalSince1970() const { return m_seconds; }
    QDateTime toDateTime() const;

    QString description() const override;
    bool isEqual(const Object &other) const override;

private:
    double m_seconds;
};

using DatePtr = std::shared_ptr<Date>;

} // namespace platform
