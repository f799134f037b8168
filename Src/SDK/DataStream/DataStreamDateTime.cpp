// Dates, times and time zones.

#include "DataStream_p.h"

#include <QtCore/QLocale>
#include <QtCore/QTimeZone>

namespace Zeto {

namespace {

constexpr quint32 NullTimeMsecs = 0xFFFFFFFFu;
constexpr quint32 MsecsPerDay = 86400000u;

} // namespace

DataStream &DataStream::operator<<(const QDate &value)
{
    return *this << qint64(value.isValid() ? value.toJulianDay() : 0);
}

DataStream &DataStream::operator>>(QDate &value)
{
    value = QDate();
    qint64 julianDay = 0;
    if (Access::readNumber(*this, julianDay) && julianDay != 0)
        value = QDate::fromJulianDay(julianDay);
    if (!value.isValid())
        value = QDate();
    return *this;
}

DataStream &DataStream::operator<<(const QTime &value)
{
    return *this << quint32(value.isValid() ? quint32(value.msecsSinceStartOfDay()) : NullTimeMsecs);
}

DataStream &DataStream::operator>>(QTime &value)
{
    value = QTime();
    quint32 msecs = NullTimeMsecs;
    if (Access::readNumber(*this, msecs) && msecs < MsecsPerDay)
        value = QTime::fromMSecsSinceStartOfDay(int(msecs));
    return *this;
}

DataStream &DataStream::operator<<(const QDateTime &value)
{
    *this << value.date() << value.time() << quint8(value.timeSpec());
    if (value.timeSpec() == Qt::OffsetFromUTC)
        *this << qint32(value.offsetFromUtc());
    else if (value.timeSpec() == Qt::TimeZone)
        *this << value.timeZone();
    return *this;
}

DataStream &DataStream::operator>>(QDateTime &value)
{
    QDate date;
    QTime time;
    quint8 spec = 0;
    *this >> date >> time;
    if (!Access::readNumber(*this, spec)) {
        value = QDateTime();
        return *this;
    }
    switch (spec) {
    case Qt::LocalTime:
    case Qt::UTC:
        value = QDateTime(date, time, Qt::TimeSpec(spec));
        break;
    case Qt::OffsetFromUTC: {
        qint32 offset = 0;
        Access::readNumber(*this, offset);
        value = QDateTime(date, time);
        value.setOffsetFromUtc(offset);
        break;
    }
    case Qt::TimeZone: {
        QTimeZone zone;
        *this >> zone;
        value = m_valid ? QDateTime(date, time, zone) : QDateTime();
        break;
    }
    default:
        break;
    }
    if (!m_valid || !value.isValid())
        value = QDateTime();
    return *this;
}

DataStream &DataStream::operator<<(const QTimeZone &value)
{
    if (!canWrite())
        return *this;
    if (!value.isValid() || value.id().isEmpty())
        return *this << QByteArray();
    *this << value.id();
    const bool isCustom = !m_availableTimeZoneIds.contains(value.id());
    *this << isCustom;
    if (!isCustom)
        return *this;
    *this << qint32(value.offsetFromUtc(m_creationTimeUtc))
          << value.displayName(QTimeZone::StandardTime, QTimeZone::LongName, QLocale())
          << value.abbreviation(m_creationTimeUtc)
          << value.comment()
          << quint16(value.country());
    return *this;
}

DataStream &DataStream::operator>>(QTimeZone &value)
{
    if (!readTimeZone(value) || !value.isValid())
        value = QTimeZone();
    return *this;
}

bool DataStream::readTimeZone(QTimeZone &zone)
{
    QByteArray id;
    *this >> id;
    if (!m_valid || id.isNull())
        return false;
    bool isCustom = false;
    if (!Access::readNumber(*this, isCustom))
        return false;
    const bool isKnown = m_availableTimeZoneIds.contains(id);
    if (!isCustom) {
        zone = isKnown ? QTimeZone(id) : QTimeZone();
        return true;
    }
    qint32 offset = 0;
    QString displayName, abbreviation, comment;
    quint16 country = 0;
    *this >> offset >> displayName >> abbreviation >> comment;
    if (!Access::readNumber(*this, country))
        return false;
    if (isKnown)
        zone = QTimeZone(id);
    else if (country <= QLocale::LastCountry)
        zone = QTimeZone(id, offset, displayName, abbreviation, QLocale::Country(country), comment);
    else
        zone = QTimeZone();
    return true;
}

} // namespace Zeto
