#include "MessageLog.h"

#include <QtCore/QMutex>
#include <QtCore/QVector>

namespace Zeto {
namespace Testing {

namespace {

struct Entry
{
    QtMsgType type;
    QString text;
    QString file;
    QString function;
    QString category;
};

// A message handler is a plain function, so what it records is global.
struct Recorded
{
    QMutex mutex;
    QVector<Entry> entries;
};

Recorded &recorded()
{
    static Recorded instance;
    return instance;
}

void record(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    Recorded &log = recorded();
    QMutexLocker locker(&log.mutex);
    log.entries.append({type, text, QString::fromUtf8(context.file), QString::fromUtf8(context.function),
                        QString::fromUtf8(context.category)});
}

QString levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return QStringLiteral("debug");
    case QtInfoMsg: return QStringLiteral("info");
    case QtWarningMsg: return QStringLiteral("warning");
    case QtCriticalMsg: return QStringLiteral("critical");
    case QtFatalMsg: return QStringLiteral("fatal");
    }
    return QStringLiteral("unknown");
}

template <typename Describe>
QStringList collect(Describe describe)
{
    Recorded &log = recorded();
    QMutexLocker locker(&log.mutex);
    QStringList lines;
    for (const Entry &entry : qAsConst(log.entries)) {
        const QString line = describe(entry);
        if (!line.isNull())
            lines.append(line);
    }
    return lines;
}

QStringList textsOf(QtMsgType type)
{
    return collect([type](const Entry &entry) { return entry.type == type ? entry.text : QString(); });
}

} // namespace

MessageLog::MessageLog()
{
    {
        QMutexLocker locker(&recorded().mutex);
        recorded().entries.clear();
    }
    m_previous = qInstallMessageHandler(&record);
}

MessageLog::~MessageLog()
{
    qInstallMessageHandler(m_previous);
}

QStringList MessageLog::entries() const
{
    return collect([](const Entry &entry) { return levelName(entry.type) + QStringLiteral(": ") + entry.text; });
}

QStringList MessageLog::files() const
{
    return collect([](const Entry &entry) { return entry.file; });
}

QStringList MessageLog::functions() const
{
    return collect([](const Entry &entry) { return entry.function; });
}

QStringList MessageLog::categorized() const
{
    return collect([](const Entry &entry) { return entry.category + QStringLiteral(": ") + entry.text; });
}

QStringList MessageLog::warnings() const
{
    return textsOf(QtWarningMsg);
}

QStringList MessageLog::criticals() const
{
    return textsOf(QtCriticalMsg);
}

} // namespace Testing
} // namespace Zeto
