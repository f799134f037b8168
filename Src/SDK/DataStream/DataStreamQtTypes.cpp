// Locales, regular expressions, URLs and uuids.

#include "DataStream_p.h"

#include <QtCore/QLocale>
#include <QtCore/QRegularExpression>
#include <QtCore/QUrl>
#include <QtCore/QUuid>

namespace Zeto {

DataStream &DataStream::operator<<(const QLocale &value)
{
    return *this << quint16(value.language()) << quint16(value.script()) << quint16(value.country());
}

// Ids beyond Qt's own tables crash the locale constructor, so they fail.
DataStream &DataStream::operator>>(QLocale &value)
{
    value = QLocale();
    quint16 language = 0, script = 0, country = 0;
    if (!Access::readNumber(*this, language) || !Access::readNumber(*this, script)
        || !Access::readNumber(*this, country))
        return *this;
    if (language > QLocale::LastLanguage || script > QLocale::LastScript || country > QLocale::LastCountry) {
        m_valid = false;
        return *this;
    }
    value = QLocale(QLocale::Language(language), QLocale::Script(script), QLocale::Country(country));
    return *this;
}

DataStream &DataStream::operator<<(const QRegularExpression &value)
{
    return *this << value.pattern() << quint32(value.patternOptions());
}

DataStream &DataStream::operator>>(QRegularExpression &value)
{
    value = QRegularExpression();
    QString pattern;
    quint32 options = 0;
    *this >> pattern;
    if (Access::readNumber(*this, options))
        value = QRegularExpression(pattern, QRegularExpression::PatternOptions(int(options)));
    return *this;
}

DataStream &DataStream::operator<<(const QUrl &value)
{
    return *this << value.toEncoded(QUrl::FullyEncoded);
}

DataStream &DataStream::operator>>(QUrl &value)
{
    QByteArray encoded;
    *this >> encoded;
    value = m_valid ? QUrl::fromEncoded(encoded, QUrl::StrictMode) : QUrl();
    return *this;
}

DataStream &DataStream::operator<<(const QUuid &value)
{
    return *this << value.toByteArray();
}

DataStream &DataStream::operator>>(QUuid &value)
{
    QByteArray text;
    *this >> text;
    value = m_valid ? QUuid(text) : QUuid();
    return *this;
}

} // namespace Zeto
