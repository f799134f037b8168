#include "FuzzSupport.h"

#include <QtCore/QHashFunctions>
#include <QtCore/QtGlobal>

#include <cstdio>

namespace ZetoFuzz {

namespace {

bool unstreamableTypeSeen = false;

void dropNonFatalMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
    if (message.startsWith(QLatin1String("Custom type with name ")))
        unstreamableTypeSeen = true;
}

} // namespace

void initialise()
{
    qSetGlobalQHashSeed(0);
    qInstallMessageHandler(dropNonFatalMessages);
}

void fail(const char *what, const QByteArray &bytes)
{
    std::fprintf(stderr, "Fuzz fault: %s\nBytes (%d): %s\n", what, int(bytes.size()),
                 bytes.left(512).toHex(' ').constData());
    __builtin_trap();
}

void forgetUnstreamableType()
{
    unstreamableTypeSeen = false;
}

bool metUnstreamableType()
{
    return unstreamableTypeSeen;
}

BufferStream::BufferStream()
    : m_stream(&m_buffer)
{
}

Zeto::DataStream &BufferStream::reading(const QByteArray &bytes)
{
    reopen(bytes, QIODevice::ReadOnly);
    return m_stream;
}

Zeto::DataStream &BufferStream::writing()
{
    reopen(QByteArray(), QIODevice::WriteOnly);
    return m_stream;
}

QByteArray BufferStream::bytes() const
{
    return m_buffer.data();
}

qint64 BufferStream::position() const
{
    return m_buffer.pos();
}

void BufferStream::reopen(const QByteArray &bytes, QIODevice::OpenMode mode)
{
    m_buffer.close();
    m_buffer.setData(bytes);
    m_buffer.open(mode);
    m_stream.resetStatus();
}

BufferStream &codec()
{
    static BufferStream stream;
    return stream;
}

bool holdsInfinity(const QByteArray &bytes)
{
    static const QByteArray positive = QByteArray::fromHex("7ff0000000000000");
    static const QByteArray negative = QByteArray::fromHex("fff0000000000000");
    return bytes.contains(positive) || bytes.contains(negative);
}

} // namespace ZetoFuzz
