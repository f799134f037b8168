// Streams an application's own value type through Zeto::DataStream: the type
// is registered once, travels inside a QVariantMap beside built-in values, and
// is decoded again from the bytes the stream wrote.

#include <ZetoSdk/DataStream>
#include <ZetoSdk/StreamHelper>

#include <QtCore/QBuffer>
#include <QtCore/QMetaType>
#include <QtCore/QTextStream>
#include <QtCore/QVariantMap>

namespace Geometry {

struct Point3D
{
    double x = 0;
    double y = 0;
    double z = 0;
    QString label;
};

bool operator==(const Point3D &a, const Point3D &b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z && a.label == b.label;
}

// Found through argument-dependent lookup by the stream helper that
// Zeto::registerType creates, so they live in the type's own namespace.
Zeto::DataStream &operator<<(Zeto::DataStream &stream, const Point3D &point)
{
    return stream << point.x << point.y << point.z << point.label;
}

Zeto::DataStream &operator>>(Zeto::DataStream &stream, Point3D &point)
{
    return stream >> point.x >> point.y >> point.z >> point.label;
}

} // namespace Geometry

// The name the type travels under: both peers must declare it alike.
Q_DECLARE_METATYPE(Geometry::Point3D)

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

// 16 bytes a line: offset, hex bytes, printable characters.
void printHexDump(const QByteArray &bytes)
{
    constexpr int bytesPerLine = 16;
    for (int offset = 0; offset < bytes.size(); offset += bytesPerLine) {
        const QByteArray line = bytes.mid(offset, bytesPerLine);
        QString hex;
        QString text;
        for (const char byte : line) {
            hex += QStringLiteral("%1 ").arg(quint8(byte), 2, 16, QLatin1Char('0'));
            text += (byte >= 0x20 && byte < 0x7f) ? QLatin1Char(byte) : QLatin1Char('.');
        }
        out() << QStringLiteral("%1  ").arg(offset, 8, 16, QLatin1Char('0'))
              << hex.leftJustified(3 * bytesPerLine) << ' ' << text << '\n';
    }
}

QString describe(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<Geometry::Point3D>()) {
        const auto point = value.value<Geometry::Point3D>();
        return QStringLiteral("Point3D(%1, %2, %3, \"%4\")")
            .arg(point.x).arg(point.y).arg(point.z).arg(point.label);
    }
    if (value.userType() == QMetaType::QStringList)
        return QStringLiteral("[%1]").arg(value.toStringList().join(QStringLiteral(", ")));
    return value.toString();
}

void printMap(const QVariantMap &map)
{
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        out() << "  " << it.key() << " (" << it.value().typeName() << "): "
              << describe(it.value()) << '\n';
    }
}

QByteArray encode(const QVariantMap &map)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    Zeto::DataStream stream(&buffer);
    stream << QVariant(map);
    return stream.isValid() ? buffer.data() : QByteArray();
}

bool decode(const QByteArray &bytes, QVariantMap &map)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    Zeto::DataStream stream(&buffer);
    QVariant value;
    stream >> value;
    map = value.toMap();
    return stream.isValid() && value.userType() == QMetaType::QVariantMap && buffer.atEnd();
}

} // namespace

int main()
{
    // Once per process, before the first value of the type is streamed.
    Zeto::registerType<Geometry::Point3D>();
    QMetaType::registerEqualsComparator<Geometry::Point3D>();

    const QVariantMap original{
        {QStringLiteral("name"), QStringLiteral("probe")},
        {QStringLiteral("count"), 3},
        {QStringLiteral("ratio"), 0.75},
        {QStringLiteral("tags"), QStringList{QStringLiteral("a"), QStringLiteral("b")}},
        {QStringLiteral("position"), QVariant::fromValue(Geometry::Point3D{1.5, -2.0, 4.25, QStringLiteral("tip")})},
    };

    out() << "Value written:\n";
    printMap(original);

    const QByteArray bytes = encode(original);
    if (bytes.isEmpty()) {
        out() << "Writing the map failed.\n";
        return 1;
    }
    out() << "\n" << bytes.size() << " bytes on the stream:\n";
    printHexDump(bytes);

    QVariantMap decoded;
    if (!decode(bytes, decoded)) {
        out() << "Reading the map back failed.\n";
        return 1;
    }
    out() << "\nValue read back:\n";
    printMap(decoded);

    const bool same = decoded == original;
    out() << "\nRound trip " << (same ? "exact" : "DIFFERS") << ".\n";
    return same ? 0 : 1;
}
