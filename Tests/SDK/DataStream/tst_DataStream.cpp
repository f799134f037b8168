#include "DataStreamTestSupport.h"
#include "ConcurrentRun.h"
#include "MessageLog.h"
#include "StreamForm.h"

#include <QtCore/QCborValue>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QMultiHash>
#include <QtCore/QMultiMap>
#include <QtCore/QReadLocker>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <climits>
#include <limits>

#ifdef Q_OS_UNIX
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace Support;
using Zeto::Testing::MessageLog;
using Zeto::Testing::runTogether;
using Zeto::Testing::streamForm;

namespace {

const QStringList AnyWarnings{QStringLiteral("(any)")};

bool warningsMatch(const QStringList &actual, const QStringList &expected)
{
    return expected == AnyWarnings || actual == expected;
}

int helperCount(int typeId)
{
    QReadLocker locker(&Zeto::IZetoStreamHelper::mainReadWriteLock());
    return Zeto::IZetoStreamHelper::registeredStreamHelpers().count(typeId);
}

Zeto::IZetoStreamHelper *helperOf(int typeId)
{
    QReadLocker locker(&Zeto::IZetoStreamHelper::mainReadWriteLock());
    return Zeto::IZetoStreamHelper::registeredStreamHelpers().value(typeId).data();
}

void reload(QBuffer &buffer, const QByteArray &data)
{
    buffer.close();
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
}

// True when the bytes hold exactly one QVariant record equal to `expected`.
bool readsBack(const QByteArray &bytes, const QVariant &expected, int reserveLimit = 4096)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    DataStream stream(&buffer);
    stream.setContainerReserveLimit(reserveLimit);
    QVariant read;
    stream >> read;
    return stream.isValid() && stream.atEnd() && same(read, expected);
}

const QDate SomeDate(2020, 1, 2);
const QTime SomeTime(3, 4, 5, 6);
const char SomeDateHex[] = "00000000002584E3";
const char SomeTimeHex[] = "00A8888E";

QTimeZone customZone()
{
    return QTimeZone("Zeto/Test", 5400, QStringLiteral("Test Time"), QStringLiteral("ZTT"), QLocale::Germany,
                     QStringLiteral("for tests"));
}

QByteArray customZoneBytes(const QByteArray &id)
{
    return name(id) + hex("01") + u32(5400) + utf16(QStringLiteral("Test Time")) + utf16(QStringLiteral("ZTT"))
        + utf16(QStringLiteral("for tests")) + bigEndian(quint16(QLocale::Germany));
}

QByteArray localeBytes(int language, int script, int country)
{
    return bigEndian(quint16(language)) + bigEndian(quint16(script)) + bigEndian(quint16(country));
}

// Reads a value and accepts whatever comes out: for failures whose
// destination is not part of the contract.
Codec readingVariant()
{
    return {nullptr, [](DataStream &stream) {
                QVariant value;
                stream >> value;
                return QString();
            }};
}

#ifdef Q_OS_UNIX
int fatalPipe = -1;

void reportFatalAndExit(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type != QtFatalMsg)
        return;
    const QByteArray bytes = text.toUtf8();
    if (write(fatalPipe, bytes.constData(), size_t(bytes.size())) < 0)
        _exit(4);
    _exit(3);
}
#endif

} // namespace

class tst_DataStream : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void encode_data();
    void encode();
    void truncated_data();
    void truncated();
    void decode_data();
    void decode();
    void readsOnFailedStreamOrWithoutDevice_data();
    void readsOnFailedStreamOrWithoutDevice();

    void nullDevice();
    void rawAccess();
    void resetStatusRewinds();
    void versionLimitAndCopies();
    void reserveLimitMustBePositive_data();
    void reserveLimitMustBePositive();
    void reserveLimitDoesNotTruncate();

    void nesting_data();
    void nesting();
    void deepInputFailsCleanly_data();
    void deepInputFailsCleanly();
    void reservationFollowsInput_data();
    void reservationFollowsInput();
    void multiEntriesKeepRunOrder();
    void writeWarnings_data();
    void writeWarnings();

    void sequenceOverBuffer();
    void bufferNotOpenForIt_data();
    void bufferNotOpenForIt();
    void helperSeesDevice();
    void helperCopiesStream();
    void transactionRollsBack();
    void writeAtOffset_data();
    void writeAtOffset();
    void sameBytesOnEveryDevice();

    void isTypeRegistered_data();
    void isTypeRegistered();
    void typeNames_data();
    void typeNames();
    void registrationMakesTypesStreamable();
    void standardStringsNeedRegistration();
    void customTypesInsideContainers();
    void concurrentRegistration();
};

void tst_DataStream::initTestCase()
{
    // The very first streams of the process race for the standard helpers.
    QVERIFY(runTogether(8, [](int) { DataStream stream(nullptr); }));
    const QList<int> standard{QMetaType::type("qfloat16"), QMetaType::QByteArrayList, QMetaType::QStringList,
                              QMetaType::QVariantList, QMetaType::QVariantMap, QMetaType::QVariantHash};
    for (int id : standard)
        QVERIFY2(helperCount(id) == 1, QMetaType::typeName(id));

    QVERIFY(Zeto::registerType<My::Type>() > 0);
    QVERIFY(Zeto::registerType<My::Box>() > 0);
    QVERIFY(Zeto::registerType<My::Probe>() > 0);
    QVERIFY(Zeto::registerType<My::Copier>() > 0);
    QVERIFY(Zeto::registerType<My::Meter>() > 0);
    qRegisterMetaType<My::Unstreamed>();
    QMetaType::registerEqualsComparator<My::Type>();
    QMetaType::registerEqualsComparator<My::Probe>();
    QMetaType::registerEqualsComparator<My::Copier>();
    QMetaType::registerEqualsComparator<My::Meter>();
    QMetaType::registerEqualsComparator<std::string>();
    QVERIFY(QTimeZone::availableTimeZoneIds().contains("UTC"));
}

// ---- byte forms ---------------------------------------------------------------

void tst_DataStream::encode_data()
{
    QTest::addColumn<Codec>("codec");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("bool true") << codec(true) << hex("01");
    QTest::newRow("bool false") << codec(false) << hex("00");
    QTest::newRow("char") << codec('a') << hex("61");
    QTest::newRow("signed char -1") << codec<signed char>(-1) << hex("FF");
    QTest::newRow("unsigned char") << codec<unsigned char>(0xFE) << hex("FE");
    QTest::newRow("short 0x0102") << codec<short>(0x0102) << hex("0102");
    QTest::newRow("unsigned short") << codec<unsigned short>(0xFFFE) << hex("FFFE");
    QTest::newRow("int -1") << codec(-1) << hex("FFFFFFFF");
    QTest::newRow("unsigned int") << codec(0x80000001u) << hex("80000001");
    QTest::newRow("qint64 1") << codec(qint64(1)) << hex("0000000000000001");
    QTest::newRow("qint64 min") << codec(std::numeric_limits<qint64>::min()) << hex("8000000000000000");
    QTest::newRow("quint64 max") << codec(std::numeric_limits<quint64>::max()) << hex("FFFFFFFFFFFFFFFF");
    QTest::newRow("char16_t") << codec(u'\u00e9') << hex("00E9");
    QTest::newRow("char32_t") << codec(U'\U0001F600') << hex("0001F600");
    QTest::newRow("double 1.5") << codec(1.5) << hex("3FF8000000000000");
    QTest::newRow("double -0.0") << codec(-0.0) << hex("8000000000000000");
    QTest::newRow("double -1e-16") << codec(-1e-16) << hex("BC9CD2B297D889BC");
    QTest::newRow("double 2.3e-16") << codec(2.3e-16) << hex("3CB092C04A82E8CC");
    QTest::newRow("float 1.5") << codec(1.5f) << hex("3FF8000000000000");
    QTest::newRow("float 0.1") << codec(0.1f) << hex("3FB99999A0000000");
    QTest::newRow("qfloat16 1.5") << codec(qfloat16(1.5f)) << hex("3FF8000000000000");
    QTest::newRow("nullptr") << codec(nullptr) << QByteArray();

    QTest::newRow("QByteArray null") << codec(QByteArray()) << hex("FFFFFFFFFFFFFFFF");
    QTest::newRow("QByteArray empty") << codec(QByteArray("")) << hex("0000000000000000");
    QTest::newRow("QByteArray ab") << codec(QByteArray("ab")) << hex("0000000000000002 6162");
    QTest::newRow("QString null") << codec(QString()) << hex("FFFFFFFFFFFFFFFF");
    QTest::newRow("QString empty") << codec(QString(QLatin1String(""))) << hex("0000000000000000");
    QTest::newRow("QString A") << codec(QStringLiteral("A")) << hex("0000000000000001 0041");
    QTest::newRow("QString surrogates") << codec(QString::fromUtf8("\xc3\xa9\xf0\x9f\x98\x80"))
                                        << hex("0000000000000003 00E9 D83D DE00");
    QTest::newRow("QChar") << codec(QChar(0x20AC)) << hex("20AC");
    QTest::newRow("QStringList") << codec(QStringList{QStringLiteral("a"), QString()})
                                 << hex("0000000000000002 0000000000000001 0061 FFFFFFFFFFFFFFFF");
    QTest::newRow("QStringList empty") << codec(QStringList()) << hex("0000000000000000");
    QBitArray tenBits(10);
    tenBits.setBit(0);
    tenBits.setBit(9);
    QTest::newRow("QBitArray 10 bits") << codec(tenBits) << hex("000000000000000A 0000000000000002 01 02");
    QTest::newRow("QBitArray 8 bits") << codec(QBitArray(8, true)) << hex("0000000000000008 0000000000000001 FF");
    QTest::newRow("QBitArray null") << codec(QBitArray()) << hex("FFFFFFFFFFFFFFFF");
    QTest::newRow("QBitArray empty") << codec(QBitArray(0)) << hex("0000000000000000");
    QTest::newRow("std::string") << codec(std::string("ab")) << hex("0000000000000002 6162");
    QTest::newRow("std::string empty") << codec(std::string()) << hex("FFFFFFFFFFFFFFFF");
    QTest::newRow("std::u16string") << codec(std::u16string(u"ab")) << hex("0000000000000002 0061 0062");
    QTest::newRow("std::u16string empty") << codec(std::u16string()) << hex("FFFFFFFFFFFFFFFF");
    QTest::newRow("std::u32string") << codec(std::u32string(U"a\U0001F600"))
                                    << hex("0000000000000002 00000061 0001F600");
    QTest::newRow("std::u32string empty") << codec(std::u32string()) << hex("FFFFFFFFFFFFFFFF");

    QTest::newRow("QDate") << codec(SomeDate) << hex(SomeDateHex);
    QTest::newRow("QDate null") << codec(QDate()) << hex("0000000000000000");
    QTest::newRow("QDate julian 0") << codec(QDate::fromJulianDay(0), QDate()) << hex("0000000000000000");
    QTest::newRow("QDate first") << codec(QDate::fromJulianDay(-784350574879)) << hex("FFFFFF49611006E1");
    QTest::newRow("QDate last") << codec(QDate::fromJulianDay(784354017364)) << hex("000000B69F248054");
    QTest::newRow("QTime last") << codec(QTime(23, 59, 59, 999)) << hex("05265BFF");
    QTest::newRow("QTime midnight") << codec(QTime(0, 0)) << hex("00000000");
    QTest::newRow("QTime null") << codec(QTime()) << hex("FFFFFFFF");
    const QByteArray dateTime = hex(SomeDateHex) + hex(SomeTimeHex);
    QTest::newRow("QDateTime UTC") << codec(QDateTime(SomeDate, SomeTime, Qt::UTC)) << dateTime + hex("01");
    QTest::newRow("QDateTime local") << codec(QDateTime(SomeDate, SomeTime, Qt::LocalTime)) << dateTime + hex("00");
    QTest::newRow("QDateTime offset") << codec(QDateTime(SomeDate, SomeTime, Qt::OffsetFromUTC, 3600))
                                      << dateTime + hex("02 00000E10");
    QTest::newRow("QDateTime negative offset") << codec(QDateTime(SomeDate, SomeTime, Qt::OffsetFromUTC, -1800))
                                               << dateTime + hex("02 FFFFF8F8");
    QTest::newRow("QDateTime zone") << codec(QDateTime(SomeDate, SomeTime, QTimeZone("UTC")))
                                    << dateTime + hex("03 0000000000000003 555443 00");
    QTest::newRow("QDateTime custom zone") << codec(QDateTime(SomeDate, SomeTime, customZone()))
                                           << dateTime + hex("03") + customZoneBytes("Zeto/Test");
    QTest::newRow("QDateTime null") << codec(QDateTime()) << hex("0000000000000000 FFFFFFFF 00");
    QTest::newRow("QTimeZone system") << codec(QTimeZone("UTC")) << hex("0000000000000003 555443 00");
    QTest::newRow("QTimeZone custom") << codec(customZone()) << customZoneBytes("Zeto/Test");
    QTest::newRow("QTimeZone invalid") << codec(QTimeZone()) << hex("FFFFFFFFFFFFFFFF");
    QTest::newRow("QLocale") << codec(QLocale(QLocale::German, QLocale::Germany)) << hex("002A 0007 0052");
    QTest::newRow("QLocale C") << codec(QLocale::c()) << hex("0001 0000 0000");
    QTest::newRow("QRegularExpression")
        << codec(QRegularExpression(QStringLiteral("a+"), QRegularExpression::CaseInsensitiveOption))
        << hex("0000000000000002 0061 002B 00000001");
    QTest::newRow("QUrl") << codec(QUrl(QStringLiteral("http://example.com/a b")))
                          << name("http://example.com/a%20b");
    QTest::newRow("QUuid") << codec(QUuid(QStringLiteral("{12345678-9ABC-DEF0-1234-56789ABCDEF0}")))
                           << hex("0000000000000026") + QByteArray("{12345678-9abc-def0-1234-56789abcdef0}");
    QTest::newRow("QUuid null") << codec(QUuid()) << name("{00000000-0000-0000-0000-000000000000}");

    QTest::newRow("QVariant invalid") << codec(QVariant()) << hex("00000000 00 01");
    QTest::newRow("QVariant int 5") << codec(QVariant(5)) << hex("00000002 01 00 00000005");
    QTest::newRow("QVariant null QString") << codec(QVariant(QString())) << hex("0000000A 01 01");
    QTest::newRow("QVariant empty QString") << codec(QVariant(QString(QLatin1String(""))))
                                            << hex("0000000A 01 00 0000000000000000");
    QTest::newRow("QVariant long -1") << codec(QVariant::fromValue(long(-1))) << hex("00000020 01 00 FFFFFFFFFFFFFFFF");
    QTest::newRow("QVariant unsigned long max") << codec(QVariant::fromValue(std::numeric_limits<unsigned long>::max()))
                                                << hex("00000023 01 00 FFFFFFFFFFFFFFFF");
    QTest::newRow("QVariant bool") << codec(QVariant(true)) << hex("00000001 01 00 01");
    QTest::newRow("QVariant uint") << codec(QVariant(7u)) << hex("00000003 01 00 00000007");
    QTest::newRow("QVariant qlonglong") << codec(QVariant(qlonglong(-2))) << hex("00000004 01 00 FFFFFFFFFFFFFFFE");
    QTest::newRow("QVariant qulonglong") << codec(QVariant(qulonglong(2))) << hex("00000005 01 00 0000000000000002");
    QTest::newRow("QVariant double") << codec(QVariant(1.5)) << hex("00000006 01 00 3FF8000000000000");
    QTest::newRow("QVariant float") << codec(QVariant(1.5f)) << hex("00000026 01 00 3FF8000000000000");
    QTest::newRow("QVariant QChar") << codec(QVariant(QChar(0x41))) << hex("00000007 01 00 0041");
    QTest::newRow("QVariant short") << codec(QVariant::fromValue(short(-2))) << hex("00000021 01 00 FFFE");
    QTest::newRow("QVariant ushort") << codec(QVariant::fromValue(ushort(2))) << hex("00000024 01 00 0002");
    QTest::newRow("QVariant char") << codec(QVariant::fromValue('a')) << hex("00000022 01 00 61");
    QTest::newRow("QVariant uchar") << codec(QVariant::fromValue(uchar(0xFE))) << hex("00000025 01 00 FE");
    QTest::newRow("QVariant signed char") << codec(QVariant::fromValue<signed char>(-1)) << hex("00000028 01 00 FF");
    QTest::newRow("QVariant nullptr") << codec(QVariant::fromValue(nullptr)) << hex("00000033 01 01");
    QTest::newRow("QVariant QCborSimpleType") << codec(QVariant::fromValue(QCborSimpleType(7)))
                                              << hex("00000034 01 00 07");
    QTest::newRow("QVariant QByteArray") << codec(QVariant(QByteArray("ab"))) << hex("0000000C 01 00 0000000000000002 6162");
    QTest::newRow("QVariant QStringList") << codec(QVariant(QStringList{QStringLiteral("a")}))
                                          << hex("0000000B 01 00 0000000000000001 0000000000000001 0061");
    QTest::newRow("QVariant QByteArrayList") << codec(QVariant::fromValue(QByteArrayList{"a", QByteArray()}))
                                             << hex("00000031 01 00 0000000000000002 0000000000000001 61 FFFFFFFFFFFFFFFF");
    QTest::newRow("QVariant QBitArray") << codec(QVariant(tenBits)) << hex("0000000D 01 00") + hex("000000000000000A 0000000000000002 01 02");
    QTest::newRow("QVariant QDate") << codec(QVariant(SomeDate)) << hex("0000000E 01 00") + hex(SomeDateHex);
    QTest::newRow("QVariant QTime") << codec(QVariant(SomeTime)) << hex("0000000F 01 00") + hex(SomeTimeHex);
    QTest::newRow("QVariant QDateTime") << codec(QVariant(QDateTime(SomeDate, SomeTime, Qt::UTC)))
                                        << hex("00000010 01 00") + dateTime + hex("01");
    QTest::newRow("QVariant QUrl") << codec(QVariant(QUrl(QStringLiteral("zeto://h:1")))) << hex("00000011 01 00") + name("zeto://h:1");
    QTest::newRow("QVariant QLocale") << codec(QVariant(QLocale(QLocale::German, QLocale::Germany)))
                                      << hex("00000012 01 00 002A 0007 0052");
    QTest::newRow("QVariant QUuid") << codec(QVariant(QUuid(QStringLiteral("{12345678-9abc-def0-1234-56789abcdef0}"))))
                                    << hex("0000001E 01 00") + name("{12345678-9abc-def0-1234-56789abcdef0}");
    QTest::newRow("QVariant null QUuid") << codec(QVariant(QUuid())) << hex("0000001E 01 01");
    QTest::newRow("QVariant QRegularExpression") << codec(QVariant(QRegularExpression(QStringLiteral("a"))))
                                                 << hex("0000002C 01 00 0000000000000001 0061 00000000");
    QTest::newRow("QVariant QVariantList") << codec(QVariant(QVariantList{1, QStringLiteral("x")}))
                                           << hex("00000009 01 00 0000000000000002") + intRecord(1)
                                                  + hex("0000000A 01 00 0000000000000001 0078");
    QTest::newRow("QVariant QVariantList empty") << codec(QVariant(QVariantList())) << hex("00000009 01 00 0000000000000000");
    QTest::newRow("QVariant QVariantMap") << codec(QVariant(QVariantMap{{QStringLiteral("a"), 1}, {QStringLiteral("b"), QVariant()}}))
                                          << hex("00000008 01 00 0000000000000002 0000000000000001 0061") + intRecord(1)
                                                 + hex("0000000000000001 0062 00000000 00 01");
    QTest::newRow("QVariant QVariantHash") << codec(QVariant(QVariantHash{{QStringLiteral("a"), 1}}))
                                           << hex("0000001C 01 00 0000000000000001 0000000000000001 0061") + intRecord(1);
    QTest::newRow("QVariant My::Type") << codec(QVariant::fromValue(My::Type{7, QStringLiteral("x")}))
                                       << customRecord("My::Type") + hex("00000007 0000000000000001 0078");
    QTest::newRow("QVariant qfloat16") << codec(QVariant::fromValue(qfloat16(1.5f)))
                                       << customRecord("qfloat16") + hex("3FF8000000000000");
    QTest::newRow("QVariantList") << codec(QVariantList{1}) << hex("0000000000000001") + intRecord(1);
    QTest::newRow("QVector<QVariant>") << codec(QVector<QVariant>{1}) << hex("0000000000000001") + intRecord(1);
    QTest::newRow("QByteArrayList") << codec(QByteArrayList{"a"}) << hex("0000000000000001 0000000000000001 61");
    QTest::newRow("QVariantMap") << codec(QVariantMap{{QStringLiteral("a"), 1}})
                                 << hex("0000000000000001 0000000000000001 0061") + intRecord(1);
    QTest::newRow("QVariantHash") << codec(QVariantHash{{QStringLiteral("a"), 1}})
                                  << hex("0000000000000001 0000000000000001 0061") + intRecord(1);
}

void tst_DataStream::encode()
{
    QFETCH(Codec, codec);
    QFETCH(QByteArray, bytes);
    MessageLog log;

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    DataStream writer(&buffer);
    codec.write(writer);
    QVERIFY(writer.isValid());
    QCOMPARE(buffer.data().toHex(' '), bytes.toHex(' '));
    PlainDevice plain;
    DataStream plainWriter(&plain);
    codec.write(plainWriter);
    QVERIFY(plainWriter.isValid());
    QCOMPARE(plain.data().toHex(' '), bytes.toHex(' '));

    // Neighbouring bytes stay where they are, and the value ends exactly after its bytes.
    QBuffer input;
    input.setData("<<" + bytes + ">>");
    input.open(QIODevice::ReadOnly);
    input.seek(2);
    DataStream reader(&input);
    QString mismatch = codec.readMismatch(reader);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QVERIFY(reader.isValid());
    QCOMPARE(input.pos(), bytes.size() + 2);
    QCOMPARE(input.readAll(), QByteArray(">>"));
    plain.seek(0);
    mismatch = codec.readMismatch(plainWriter);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QVERIFY(plainWriter.isValid());
    QVERIFY(plainWriter.atEnd());
    QCOMPARE(log.warnings(), QStringList());

    // A failed stream and a stream without device write nothing.
    writer.setValid(false);
    codec.write(writer);
    QVERIFY(!writer.isValid());
    QCOMPARE(buffer.size(), qint64(bytes.size()));
    DataStream nowhere(nullptr);
    codec.write(nowhere);
    QVERIFY(!nowhere.isValid());

    if (!bytes.isEmpty()) {
        QBuffer readOnly;
        readOnly.open(QIODevice::ReadOnly);
        DataStream refused(&readOnly);
        codec.write(refused);
        QVERIFY(!refused.isValid());
    }
}

void tst_DataStream::truncated_data()
{
    encode_data();
}

void tst_DataStream::truncated()
{
    QFETCH(Codec, codec);
    QFETCH(QByteArray, bytes);
    MessageLog log;
    QBuffer buffer;
    PlainDevice plain;
    DataStream overBuffer(&buffer);
    DataStream overPlain(&plain);
    for (int size = 0; size < bytes.size(); ++size) {
        const QByteArray prefix = bytes.left(size);
        reload(buffer, prefix);
        plain.reload(prefix);
        overBuffer.setValid(true);
        overPlain.setValid(true);
        codec.readMismatch(overBuffer);
        codec.readMismatch(overPlain);
        QVERIFY2(!overBuffer.isValid(), qPrintable(QStringLiteral("%1 of %2 bytes").arg(size).arg(bytes.size())));
        QVERIFY(!overPlain.isValid());
        QCOMPARE(buffer.pos(), plain.pos());

        // Once failed, nothing more is consumed.
        const qint64 failedAt = buffer.pos();
        int next = 7;
        overBuffer >> next;
        codec.readMismatch(overBuffer);
        QCOMPARE(next, 0);
        QCOMPARE(buffer.pos(), failedAt);
    }
}

void tst_DataStream::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Codec>("codec");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("consumed");
    QTest::addColumn<QStringList>("warnings");
    auto row = [](const char *tag, const QByteArray &bytes, const Codec &codec, bool valid, int consumed,
                  const QStringList &warnings = QStringList()) {
        QTest::newRow(tag) << bytes << codec << valid << consumed << warnings;
    };
    const float infF = std::numeric_limits<float>::infinity();

    row("bool any non-zero byte", hex("02"), reading(true), true, 1);
    row("bool without byte keeps value", QByteArray(), reading(true, true), false, 0);
    row("int from 3 bytes", hex("000001"), reading(0, 42), false, 0);
    row("qint64 from 7 bytes", hex("00000000000001"), reading(qint64(0), qint64(42)), false, 0);
    row("short from 1 byte", hex("01"), reading(short(0), short(42)), false, 0);
    row("char16_t from 1 byte keeps value", hex("01"), reading(u'x', u'x'), false, 0);
    row("char32_t from 3 bytes keeps value", hex("000001"), reading(U'x', U'x'), false, 0);
    row("double NaN", hex("7FF8000000000000"), reading(0.0, 2.5), false, 8);
    row("double +inf", hex("7FF0000000000000"), reading(0.0, 2.5), false, 8);
    row("double -inf", hex("FFF0000000000000"), reading(0.0, 2.5), false, 8);
    row("double 1e-16 is zero", hex("3C9CD2B297D889BC"), reading(0.0), true, 8);
    row("double 2^-53 is zero", hex("3CA0000000000000"), reading(0.0), true, 8);
    row("double -2^-54 is +0", hex("BC90000000000000"), reading(0.0), true, 8);
    row("double -1e-300 is +0", hex("81A56E1FC2F8F359"), reading(0.0), true, 8);
    row("double denormal is zero", hex("0000000000000001"), reading(0.0), true, 8);
    row("double -2^-53 kept", hex("BCA0000000000000"), reading(-1.1102230246251565e-16), true, 8);
    row("float NaN keeps value", hex("7FF8000000000000"), reading(2.5f, 2.5f), false, 8);
    row("float 1e300 is inf", hex("7E37E43C8800759C"), reading(infF), true, 8);
    row("float -1e300 is -inf", hex("FE37E43C8800759C"), reading(-infF), true, 8);
    row("float 1e-16 is zero", hex("3C9CD2B297D889BC"), reading(0.0f), true, 8);
    row("qfloat16 inf keeps value", hex("7FF0000000000000"), reading(qfloat16(2.5f), qfloat16(2.5f)), false, 8);
    row("qfloat16 1e300 is inf", hex("7E37E43C8800759C"), reading(qfloat16(infF)), true, 8);

    const Codec emptyBytes = readingEmpty(QByteArray("x"));
    const Codec emptyString = readingEmpty(QStringLiteral("x"));
    row("QByteArray longer than input", hex("0000000000000003 6162"), emptyBytes, false, 8);
    row("QByteArray length -2", hex("FFFFFFFFFFFFFFFE 6162"), emptyBytes, false, 8);
    row("QByteArray length max", hex("7FFFFFFFFFFFFFFF 6162"), emptyBytes, false, 8);
    row("QByteArray length 2^31", hex("0000000080000000 6162"), emptyBytes, false, 8);
    row("QString longer than input", hex("0000000000000002 0041"), emptyString, false, 8);
    row("QString odd byte", hex("0000000000000001 00"), emptyString, false, 8);
    row("QString length -2", hex("FFFFFFFFFFFFFFFE 0041"), emptyString, false, 8);
    row("QString 2n overflows", hex("4000000000000001 0041 0042"), emptyString, false, 8);
    row("QString 2n wraps", hex("8000000000000001 0041 0042"), emptyString, false, 8);
    row("QString length max", hex("7FFFFFFFFFFFFFFF 0041"), emptyString, false, 8);
    row("QStringList count beyond input", hex("0000000000000010 0000000000000000"),
        readingEmpty(QStringList{QStringLiteral("x")}), false, 8);
    row("QStringList count -1", hex("FFFFFFFFFFFFFFFF 0000000000000000"), readingEmpty(QStringList{QStringLiteral("x")}),
        false, 8);
    const Codec emptyBits = readingEmpty(QBitArray(3, true));
    row("QBitArray bytes too few", hex("000000000000000A 0000000000000001 FF"), emptyBits, false, 17);
    row("QBitArray bytes too many", hex("000000000000000A 0000000000000003 FFFFFF"), emptyBits, false, 19);
    row("QBitArray null bytes", hex("0000000000000003 FFFFFFFFFFFFFFFF"), emptyBits, false, 16);
    // A bit count that no QBitArray can hold fails as soon as it is read.
    row("QBitArray bits beyond int", hex("0000000100000001 0000000000000001 01"), emptyBits, false, 8);
    row("QBitArray bits 2^31", hex("0000000080000000 0000000010000000 00"), emptyBits, false, 8);
    row("QBitArray bits -2", hex("FFFFFFFFFFFFFFFE 0000000000000000"), emptyBits, false, 8);
    row("QBitArray bytes beyond input", hex("0000000000000100 0000000000000020 00"), emptyBits, false, 16);
    row("std::string zero length", hex("0000000000000000"), reading(std::string()), true, 8);
    row("std::string longer than input", hex("0000000000000003 6162"), reading(std::string(), std::string("x")), false, 8);
    row("std::string length 2^63", hex("8000000000000000 6162"), reading(std::string()), false, 8);
    row("std::u16string zero length", hex("0000000000000000"), reading(std::u16string()), true, 8);
    row("std::u16string 2n wraps", hex("8000000000000001 0041"), reading(std::u16string(), std::u16string(u"x")), false, 8);
    row("std::u16string longer than input", hex("0000000000000002 0041"), reading(std::u16string()), false, 8);
    row("std::u32string 4n wraps", hex("4000000000000001 00000041"), reading(std::u32string(), std::u32string(U"x")),
        false, 8);
    row("std::u32string 4n wraps high", hex("C000000000000001 00000041"), reading(std::u32string()), false, 8);
    row("std::u32string longer than input", hex("0000000000000002 00000041"), reading(std::u32string()), false, 8);

    row("QDate julian 1", hex("0000000000000001"), reading(QDate::fromJulianDay(1)), true, 8);
    row("QDate after last", hex("000000B69F248055"), reading(QDate(), SomeDate), true, 8);
    row("QDate before first", hex("FFFFFF49611006E0"), reading(QDate(), SomeDate), true, 8);
    row("QTime 86400000", hex("05265C00"), reading(QTime(), SomeTime), true, 4);
    row("QTime FFFFFFFE", hex("FFFFFFFE"), reading(QTime(), SomeTime), true, 4);
    const QDateTime previous(SomeDate, SomeTime, Qt::UTC);
    const QByteArray dateTime = hex(SomeDateHex) + hex(SomeTimeHex);
    row("QDateTime unknown time spec keeps value", dateTime + hex("07"), reading(previous, previous), true, 13);
    row("QDateTime null date", hex("0000000000000000") + hex(SomeTimeHex) + hex("01"), reading(QDateTime(), previous),
        true, 13);
    row("QDateTime invalid zone", dateTime + hex("03 FFFFFFFFFFFFFFFF"), reading(QDateTime(), previous), true, 21);
    row("QTimeZone unknown system id", name("Nowhere/Land") + hex("00"), reading(QTimeZone(), QTimeZone("UTC")), true, 21);
    row("QTimeZone custom with known id", customZoneBytes("UTC"), reading(QTimeZone("UTC")), true,
        customZoneBytes("UTC").size());
    row("QTimeZone null id", hex("FFFFFFFFFFFFFFFF 01"), reading(QTimeZone(), QTimeZone("UTC")), true, 8);
    row("QLocale language 10000", localeBytes(10000, 0, 0), reading(QLocale(), QLocale::c()), false, 6);
    row("QLocale language beyond last", localeBytes(QLocale::LastLanguage + 1, 0, 0), reading(QLocale(), QLocale::c()),
        false, 6);
    row("QLocale script beyond last", localeBytes(QLocale::German, QLocale::LastScript + 1, 0),
        reading(QLocale(), QLocale::c()), false, 6);
    row("QLocale country beyond last", localeBytes(QLocale::German, 0, QLocale::LastCountry + 1),
        reading(QLocale(), QLocale::c()), false, 6);
    row("QLocale last ids", localeBytes(QLocale::LastLanguage, QLocale::LastScript, QLocale::LastCountry),
        reading(QLocale(QLocale::LastLanguage, QLocale::LastScript, QLocale::LastCountry)), true, 6);
    row("QUrl rejected by strict parsing", name("http://host/%zz"),
        readingSuch<QUrl>(QStringLiteral("invalid"), [](const QUrl &url) { return !url.isValid(); },
                          QUrl(QStringLiteral("zeto://x"))),
        true, 23);
    row("QUuid unparsable", name("nonsense"), reading(QUuid(), QUuid::createUuid()), true, 16);

    const int unstreamed = qMetaTypeId<My::Unstreamed>();
    const QString unstreamedName = QStringLiteral("My::Unstreamed");
    row("QVariant unknown name", customRecord("Not::Known") + hex("01020304"), readingVariant(), false, 24,
        {notKnownAtBothSides(QStringLiteral("Not::Known"))});
    row("QVariant valid flag without type", hex("00000000 01 00 00000005"), readingVariant(), false, 6, AnyWarnings);
    row("QVariant type without valid flag", hex("00000002 00 00 00000005"), readingVariant(), false, 6,
        {notKnownAtBothSides(QStringLiteral("int"))});
    row("QVariant null name, not valid", hex("FFFFFFFF 00 01 FFFFFFFFFFFFFFFF"), reading(QVariant(), QVariant(5)), true, 14);
    row("QVariant null name, valid", hex("FFFFFFFF 01 00 FFFFFFFFFFFFFFFF"), readingVariant(), false, 14, AnyWarnings);
    row("QVariant name beyond input", hex("FFFFFFFF 01 00 0000000000000010 41"), reading(QVariant(), QVariant(5)), false, 14);
    row("QVariant id of a registered custom type", record(quint32(qMetaTypeId<My::Type>())) + hex("00000007 0000000000000000"),
        readingVariant(), false, 6, AnyWarnings);
    row("QVariant id 1024", record(1024) + hex("00000007 0000000000000000"), readingVariant(), false, 6, AnyWarnings);
    row("QVariant id FFFFFFFE", record(0xFFFFFFFE) + hex("00000007 0000000000000000"), readingVariant(), false, 6,
        AnyWarnings);
    row("QVariant holding QVariant", record(QMetaType::QVariant) + intRecord(1), readingVariant(), false, 6,
        {loadFailed(QStringLiteral("QVariant"), QMetaType::QVariant)});
    row("QVariant type without helper", customRecord("My::Unstreamed") + hex("00000001"), readingVariant(), false, 28,
        {notRegistered(unstreamedName), loadFailed(unstreamedName, unstreamed)});
    row("QVariant box around a type without helper", customRecord("My::Box") + customRecord("My::Unstreamed") + hex("00000001"),
        readingVariant(), false, 49,
        {notRegistered(unstreamedName), loadFailed(unstreamedName, unstreamed),
         loadFailed(QStringLiteral("My::Box"), qMetaTypeId<My::Box>())});
    row("QVariant int truncated", hex("00000002 01 00 0000"), readingVariant(), false, 6,
        {loadFailed(QStringLiteral("int"), QMetaType::Int)});
    row("QVariant double NaN", hex("00000006 01 00 7FF8000000000000"), readingVariant(), false, 14,
        {loadFailed(QStringLiteral("double"), QMetaType::Double)});
    row("QVariant float inf", hex("00000026 01 00 7FF0000000000000"), readingVariant(), false, 14,
        {loadFailed(QStringLiteral("float"), QMetaType::Float)});
    row("QVariant QLocale language 10000", record(QMetaType::QLocale) + localeBytes(10000, 0, 0), readingVariant(), false, 12,
        {loadFailed(QStringLiteral("QLocale"), QMetaType::QLocale)});

    // Containers: the position after a failure is where reading field by field stops.
    const QByteArray list = record(QMetaType::QVariantList);
    const QByteArray map = record(QMetaType::QVariantMap);
    const QByteArray hash = record(QMetaType::QVariantHash);
    row("list count beyond input", list + i64(11) + intRecord(1), readingVariant(), false, 14, AnyWarnings);
    row("list count -1", list + i64(-1) + intRecord(1), readingVariant(), false, 14, AnyWarnings);
    row("list count 2^63", list + hex("8000000000000000") + intRecord(1), readingVariant(), false, 14, AnyWarnings);
    row("list third element truncated", list + i64(3) + intRecord(1) + intRecord(2) + record(QMetaType::Int) + hex("0000"),
        readingVariant(), false, 40, AnyWarnings);
    row("list element of unknown type", list + i64(2) + customRecord("Not::Known") + hex("01020304"), readingVariant(),
        false, 38, AnyWarnings);
    row("list element with valid flag off", list + i64(1) + hex("00000002 00 00 00000005"), readingVariant(), false, 20,
        AnyWarnings);
    row("map 2c beyond input", map + i64(2) + hex("000000"), readingVariant(), false, 14, AnyWarnings);
    row("map 2c wraps", map + hex("8000000000000001") + utf16(QStringLiteral("a")) + intRecord(1), readingVariant(),
        false, 14, AnyWarnings);
    row("map count -1", map + i64(-1) + utf16(QStringLiteral("a")) + intRecord(1), readingVariant(), false, 14,
        AnyWarnings);
    row("map key longer than input", map + i64(1) + hex("0000000000000009 0061 0000"), readingVariant(), false, 22,
        AnyWarnings);
    row("map value NaN", map + i64(1) + utf16(QStringLiteral("a")) + record(QMetaType::Double) + hex("7FF8000000000000"),
        readingVariant(), false, 38, AnyWarnings);
    row("hash 2c wraps", hash + hex("8000000000000001") + utf16(QStringLiteral("a")) + intRecord(1), readingVariant(),
        false, 14, AnyWarnings);
    row("hash count -1", hash + i64(-1) + utf16(QStringLiteral("a")) + intRecord(1), readingVariant(), false, 14,
        AnyWarnings);
    row("QVariantList count max", hex("7FFFFFFFFFFFFFFF") + intRecord(1), readingEmpty(QVariantList{1}), false, 8);
    row("QVariantMap count max", hex("7FFFFFFFFFFFFFFF") + intRecord(1), readingEmpty(QVariantMap{{QString(), 1}}), false, 8);
    row("QByteArrayList count beyond input", hex("0000000000000009 0000000000000000"), readingEmpty(QByteArrayList{"x"}),
        false, 8);
}

void tst_DataStream::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Codec, codec);
    QFETCH(bool, valid);
    QFETCH(int, consumed);
    QFETCH(QStringList, warnings);

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    PlainDevice plain(bytes);
    for (QIODevice *device : {static_cast<QIODevice *>(&buffer), static_cast<QIODevice *>(&plain)}) {
        MessageLog log;
        DataStream stream(device);
        const QString mismatch = codec.readMismatch(stream);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        QCOMPARE(stream.isValid(), valid);
        QCOMPARE(device->pos(), qint64(consumed));
        QVERIFY2(warningsMatch(log.warnings(), warnings), qPrintable(log.warnings().join(QLatin1Char('\n'))));
    }
}

void tst_DataStream::readsOnFailedStreamOrWithoutDevice_data()
{
    QTest::addColumn<Codec>("codec");
    QTest::newRow("int") << reading(0, 42);
    QTest::newRow("unsigned int") << reading(0u, 42u);
    QTest::newRow("short") << reading(short(0), short(42));
    QTest::newRow("unsigned short") << reading<unsigned short>(0, 42);
    QTest::newRow("char") << reading('\0', 'x');
    QTest::newRow("signed char") << reading<signed char>(0, 42);
    QTest::newRow("unsigned char") << reading<unsigned char>(0, 42);
    QTest::newRow("qint64") << reading(qint64(0), qint64(42));
    QTest::newRow("quint64") << reading(quint64(0), quint64(42));
    QTest::newRow("double") << reading(0.0, 2.5);
    QTest::newRow("bool keeps value") << reading(true, true);
    QTest::newRow("char16_t keeps value") << reading(u'x', u'x');
    QTest::newRow("char32_t keeps value") << reading(U'x', U'x');
    QTest::newRow("float keeps value") << reading(2.5f, 2.5f);
    QTest::newRow("qfloat16 keeps value") << reading(qfloat16(2.5f), qfloat16(2.5f));
    QTest::newRow("QChar keeps value") << reading(QChar(0x78), QChar(0x78));
    QTest::newRow("QByteArray") << readingEmpty(QByteArray("x"));
    QTest::newRow("QString") << readingEmpty(QStringLiteral("x"));
    QTest::newRow("QStringList") << readingEmpty(QStringList{QStringLiteral("x")});
    QTest::newRow("QBitArray") << readingEmpty(QBitArray(3, true));
    QTest::newRow("std::string") << reading(std::string(), std::string("x"));
    QTest::newRow("std::u16string") << reading(std::u16string(), std::u16string(u"x"));
    QTest::newRow("std::u32string") << reading(std::u32string(), std::u32string(U"x"));
    QTest::newRow("QDate") << reading(QDate(), SomeDate);
    QTest::newRow("QTime") << reading(QTime(), SomeTime);
    QTest::newRow("QDateTime") << reading(QDateTime(), QDateTime(SomeDate, SomeTime, Qt::UTC));
    QTest::newRow("QTimeZone") << reading(QTimeZone(), QTimeZone("UTC"));
    QTest::newRow("QLocale") << reading(QLocale(), QLocale(QLocale::German, QLocale::Germany));
    QTest::newRow("QRegularExpression") << reading(QRegularExpression(), QRegularExpression(QStringLiteral("x")));
    QTest::newRow("QUrl") << reading(QUrl(), QUrl(QStringLiteral("zeto://x")));
    QTest::newRow("QUuid") << reading(QUuid(), QUuid::createUuid());
    QTest::newRow("QVariant") << reading(QVariant(), QVariant(5));
    QTest::newRow("QVariantList") << readingEmpty(QVariantList{1});
    QTest::newRow("QVector<QVariant>") << readingEmpty(QVector<QVariant>{1});
    QTest::newRow("QByteArrayList") << readingEmpty(QByteArrayList{"x"});
    QTest::newRow("QVariantMap") << readingEmpty(QVariantMap{{QString(), 1}});
    QTest::newRow("QVariantHash") << readingEmpty(QVariantHash{{QString(), 1}});
}

void tst_DataStream::readsOnFailedStreamOrWithoutDevice()
{
    QFETCH(Codec, codec);
    MessageLog log;
    QBuffer buffer;
    buffer.setData(QByteArray(64, '\x01'));
    buffer.open(QIODevice::ReadOnly);
    DataStream failed(&buffer);
    failed.setValid(false);
    QString mismatch = codec.readMismatch(failed);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QVERIFY(!failed.isValid());
    QCOMPARE(buffer.pos(), qint64(0));

    DataStream nowhere(nullptr);
    mismatch = codec.readMismatch(nowhere);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QVERIFY(!nowhere.isValid());
}

// ---- status and raw access ------------------------------------------------------

void tst_DataStream::nullDevice()
{
    DataStream stream(nullptr);
    QCOMPARE(stream.device(), nullptr);
    QVERIFY(!stream.isValid());
    QVERIFY(!stream.atEnd());
    char data[4] = {};
    QCOMPARE(stream.readData(data, 4), qint64(-1));
    QCOMPARE(stream.writeData(data, 4), qint64(-1));
    QCOMPARE(stream.readData(data, 0), qint64(-1));
    QCOMPARE(stream.writeData(data, 0), qint64(-1));
    stream.setValid(true);
    QVERIFY(!stream.isValid());
    stream.resetStatus();
    QVERIFY(!stream.isValid());
}

void tst_DataStream::rawAccess()
{
    QBuffer buffer;
    buffer.setData("abcdef");
    buffer.open(QIODevice::ReadWrite);
    DataStream stream(&buffer);
    char data[8] = {};
    QCOMPARE(stream.readData(data, 0), qint64(0));
    QCOMPARE(stream.writeData(data, 0), qint64(0));
    QCOMPARE(stream.readData(nullptr, 2), qint64(-1));
    QCOMPARE(stream.readData(data, -1), qint64(-1));
    QCOMPARE(stream.writeData(nullptr, 2), qint64(-1));
    QCOMPARE(stream.writeData(data, -1), qint64(-1));
    QVERIFY(stream.isValid());
    QCOMPARE(buffer.pos(), qint64(0));

    QCOMPARE(stream.readData(data, 3), qint64(3));
    QCOMPARE(QByteArray(data, 3), QByteArray("abc"));
    QCOMPARE(stream.writeData("XY", 2), qint64(2));
    QCOMPARE(buffer.data(), QByteArray("abcXYf"));
    QVERIFY(!stream.atEnd());

    QCOMPARE(stream.readData(data, 2), qint64(-1));
    QVERIFY(!stream.isValid());
    QCOMPARE(buffer.pos(), qint64(5));
    QCOMPARE(stream.readData(data, 0), qint64(-1));
    QCOMPARE(stream.readData(data, 1), qint64(-1));
    QCOMPARE(stream.writeData("Z", 1), qint64(-1));
    QCOMPARE(buffer.data(), QByteArray("abcXYf"));
    QCOMPARE(buffer.pos(), qint64(5));

    stream.setValid(true);
    QCOMPARE(stream.readData(data, 1), qint64(1));
    QVERIFY(stream.atEnd());
}

void tst_DataStream::resetStatusRewinds()
{
    QBuffer buffer;
    buffer.setData(hex("0001 00"));
    buffer.open(QIODevice::ReadOnly);
    DataStream stream(&buffer);
    short first = 0;
    int second = 42;
    stream >> first >> second;
    QCOMPARE(first, short(1));
    QCOMPARE(second, 0);
    QVERIFY(!stream.isValid());
    QCOMPARE(buffer.pos(), qint64(2));
    stream.resetStatus();
    QVERIFY(stream.isValid());
    QCOMPARE(buffer.pos(), qint64(0));
    stream >> first;
    QCOMPARE(first, short(1));
}

void tst_DataStream::versionLimitAndCopies()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    DataStream stream(&buffer);
    QCOMPARE(int(stream.version()), 1);
    QCOMPARE(stream.containerReserveLimit(), 4096);
    stream.setVersion(DataStream::Version(7));
    stream.setContainerReserveLimit(3);
    stream << qint8(1);

    DataStream copy(stream);
    QCOMPARE(int(copy.version()), 7);
    QCOMPARE(copy.containerReserveLimit(), 3);
    QCOMPARE(copy.device(), &buffer);
    QVERIFY(copy.isValid());
    copy << qint8(2);
    stream << qint8(3);
    QCOMPARE(buffer.data(), hex("010203"));

    stream.setValid(false);
    DataStream failedCopy(stream);
    QVERIFY(!failedCopy.isValid());
    QVERIFY(copy.isValid());
}

void tst_DataStream::reserveLimitMustBePositive_data()
{
    QTest::addColumn<int>("limit");
    QTest::newRow("0") << 0;
    QTest::newRow("-1") << -1;
    QTest::newRow("INT_MIN") << INT_MIN;
}

void tst_DataStream::reserveLimitMustBePositive()
{
#ifdef Q_OS_UNIX
    QFETCH(int, limit);
    int fds[2];
    QCOMPARE(pipe(fds), 0);
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        close(fds[0]);
        fatalPipe = fds[1];
        qInstallMessageHandler(reportFatalAndExit);
        DataStream stream(nullptr);
        stream.setContainerReserveLimit(limit);
        _exit(0);
    }
    close(fds[1]);
    QByteArray message;
    char chunk[256];
    for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;)
        message.append(chunk, int(n));
    close(fds[0]);
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 3);
    QCOMPARE(message, QByteArray("Container reserve limit must be a positive integer."));
#else
    QSKIP("Needs fork() to watch the process end.");
#endif
}

void tst_DataStream::reserveLimitDoesNotTruncate()
{
    QVariantList values;
    for (int i = 0; i < 10; ++i)
        values.append(i);
    QVariantMap map;
    QVariantHash hash;
    QStringList strings;
    for (int i = 0; i < 10; ++i) {
        map.insert(QString::number(i), i);
        hash.insert(QString::number(i), i);
        strings.append(QString::number(i));
    }
    const QVariant value(QVariantList{values, map, hash, strings,
                                      QVariant::fromValue(QByteArrayList{"a", "b", "c"})});
    QVERIFY(readsBack(streamForm(value), value, 1));
}

// ---- peer-controlled sizes ---------------------------------------------------------

void tst_DataStream::nesting_data()
{
    QTest::addColumn<Nest>("kind");
    QTest::addColumn<int>("records");
    QTest::addColumn<bool>("accepted");
    const struct { const char *name; Nest kind; } kinds[] = {
        {"list", Nest::List}, {"map", Nest::Map}, {"hash", Nest::Hash}, {"helper", Nest::Box}, {"mixed", Nest::Mixed}};
    for (const auto &kind : kinds) {
        for (int records : {1, 63, 64, 65})
            QTest::addRow("%s %d", kind.name, records) << kind.kind << records << (records <= 64);
    }
}

void tst_DataStream::nesting()
{
    QFETCH(Nest, kind);
    QFETCH(int, records);
    QFETCH(bool, accepted);
    MessageLog log;
    const QVariant value = nested(kind, records);
    const QByteArray bytes = nestedBytes(kind, records);

    QBuffer output;
    output.open(QIODevice::WriteOnly);
    DataStream writer(&output);
    writer << value;
    QCOMPARE(writer.isValid(), accepted);
    if (accepted)
        QCOMPARE(output.data(), bytes);

    QBuffer input;
    input.setData(bytes);
    input.open(QIODevice::ReadOnly);
    DataStream reader(&input);
    QVariant read;
    reader >> read;
    QCOMPARE(reader.isValid(), accepted);
    if (accepted)
        QVERIFY(same(read, value));
    else
        QVERIFY(!log.warnings().isEmpty());

    // A list itself is no record, a QVariant holding it is one.
    writer.resetStatus();
    writer << QVariantList{value};
    QCOMPARE(writer.isValid(), accepted);
    writer << QVariant(QVariantList{value});
    QCOMPARE(writer.isValid(), records < 64);
}

void tst_DataStream::deepInputFailsCleanly_data()
{
    QTest::addColumn<Nest>("kind");
    QTest::newRow("list") << Nest::List;
    QTest::newRow("map") << Nest::Map;
    QTest::newRow("hash") << Nest::Hash;
    QTest::newRow("helper") << Nest::Box;
    QTest::newRow("mixed") << Nest::Mixed;
}

void tst_DataStream::deepInputFailsCleanly()
{
    QFETCH(Nest, kind);
    MessageLog log;
    QBuffer buffer;
    buffer.setData(nestedBytes(kind, 100000));
    buffer.open(QIODevice::ReadOnly);
    DataStream stream(&buffer);
    QVariant read;
    stream >> read;
    QVERIFY(!stream.isValid());

    // The failure leaves no level counted: the same stream takes the deepest accepted value.
    reload(buffer, nestedBytes(kind, 64));
    stream.resetStatus();
    stream >> read;
    QVERIFY(stream.isValid());
    QVERIFY(same(read, nested(kind, 64)));

    QBuffer output;
    output.open(QIODevice::WriteOnly);
    DataStream writer(&output);
    writer << nested(kind, 65);
    QVERIFY(!writer.isValid());
    writer.resetStatus();
    const QByteArray expected = nestedBytes(kind, 64);
    writer << nested(kind, 64);
    QVERIFY(writer.isValid());
    QCOMPARE(output.pos(), qint64(expected.size()));
    QCOMPARE(output.data().left(expected.size()), expected);
}

void tst_DataStream::reservationFollowsInput_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<int>("entryPerCount");
    QTest::addColumn<int>("smallestEntry");
    QTest::newRow("list") << record(QMetaType::QVariantList) << 1 << 6;
    QTest::newRow("hash") << record(QMetaType::QVariantHash) << 2 << 14;
}

// Every level claims as many entries as the rest of the input could hold at
// one byte (list) or two bytes (hash) each; the reader must scale its
// reservations by the smallest entry instead, whatever the reserve limit.
void tst_DataStream::reservationFollowsInput()
{
    QFETCH(QByteArray, head);
    QFETCH(int, entryPerCount);
    QFETCH(int, smallestEntry);
    const int padding = 256 * 1024;
    const int levels = DataStream::MaxVariantNesting - 1;
    QByteArray bytes = customRecord("My::Meter") + QByteArray(padding, '\0');
    for (int level = 0; level < levels; ++level) {
        const QByteArray key = entryPerCount == 2 ? utf16(QStringLiteral("")) : QByteArray();
        bytes = head + i64((key.size() + bytes.size()) / entryPerCount) + key + bytes;
    }

    MessageLog log;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    DataStream stream(&buffer);
    stream.setContainerReserveLimit(INT_MAX);
    My::Meter::reads() = 0;
    const qint64 before = My::Meter::sample();
    QElapsedTimer timer;
    timer.start();
    QVariant read;
    stream >> read;
    QVERIFY(!stream.isValid());
    QVERIFY(timer.elapsed() < 20000);
    QCOMPARE(My::Meter::reads(), 1);

    if (before < 0)
        QSKIP("The heap is not measurable in this build.");
    const qint64 reserved = My::Meter::heapInUse() - before;
    const qint64 bound = qint64(levels) * (bytes.size() / smallestEntry + 1) * 16 + 4 * 1024 * 1024;
    QVERIFY2(reserved <= bound, qPrintable(QStringLiteral("%1 bytes reserved, bound %2").arg(reserved).arg(bound)));
}

void tst_DataStream::multiEntriesKeepRunOrder()
{
    QMultiMap<QString, QVariant> multiMap;
    multiMap.insert(QStringLiteral("a"), 0);
    multiMap.insert(QStringLiteral("k"), 1);
    multiMap.insert(QStringLiteral("k"), 2);
    const QVariantMap map = multiMap;
    const QByteArray mapBytes = streamForm(QVariant(map));
    // Iteration gives the run last-inserted first; the wire gives it first-inserted first.
    QCOMPARE(mapBytes, hex("00000008 01 00 0000000000000003") + utf16(QStringLiteral("a")) + intRecord(0)
                           + utf16(QStringLiteral("k")) + intRecord(1) + utf16(QStringLiteral("k")) + intRecord(2));

    QMultiHash<QString, QVariant> multiHash;
    multiHash.insert(QStringLiteral("k"), 1);
    multiHash.insert(QStringLiteral("j"), 3);
    multiHash.insert(QStringLiteral("k"), 2);
    const QVariantHash hash = multiHash;
    const QByteArray hashBytes = streamForm(QVariant(hash));
    QVERIFY(hashBytes.indexOf(intRecord(1)) < hashBytes.indexOf(intRecord(2)));

    QVERIFY(readsBack(mapBytes, map));
    QVERIFY(readsBack(hashBytes, hash));
    QCOMPARE(streamForm(QVariant(map)), mapBytes);
}

void tst_DataStream::writeWarnings_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QStringList>("warnings");
    const QString unstreamed = QStringLiteral("My::Unstreamed");
    const QVariant inner(5);
    QTest::newRow("type without helper") << QVariant::fromValue(My::Unstreamed{1})
                                         << QStringList{notRegistered(unstreamed),
                                                        saveFailed(unstreamed, qMetaTypeId<My::Unstreamed>())};
    QTest::newRow("QVariant holding QVariant") << QVariant(QMetaType::QVariant, &inner)
                                               << QStringList{saveFailed(QStringLiteral("QVariant"), QMetaType::QVariant)};
    QTest::newRow("inside a list") << QVariant(QVariantList{QVariant::fromValue(My::Unstreamed{1})}) << AnyWarnings;
}

void tst_DataStream::writeWarnings()
{
    QFETCH(QVariant, value);
    QFETCH(QStringList, warnings);
    MessageLog log;
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    DataStream stream(&buffer);
    stream << value;
    QVERIFY(!stream.isValid());
    QVERIFY(!log.warnings().isEmpty());
    QVERIFY2(warningsMatch(log.warnings(), warnings), qPrintable(log.warnings().join(QLatin1Char('\n'))));
}

// ---- the stream and its device --------------------------------------------------

void tst_DataStream::sequenceOverBuffer()
{
    const QVariant first(QVariantList{1, QStringLiteral("x")});
    const QVariant second = QVariant::fromValue(My::Type{3, QStringLiteral("y")});
    const QByteArray firstBytes = streamForm(first);
    const QByteArray secondBytes = streamForm(second);

    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    DataStream stream(&buffer);
    stream << first;
    QCOMPARE(buffer.pos(), qint64(firstBytes.size()));
    buffer.write("--");
    stream << second << 7;
    QVERIFY(stream.isValid());
    QCOMPARE(buffer.data(), firstBytes + "--" + secondBytes + hex("00000007"));

    buffer.seek(0);
    QVariant read;
    stream >> read;
    QVERIFY(same(read, first));
    QCOMPARE(buffer.pos(), qint64(firstBytes.size()));
    QCOMPARE(buffer.read(2), QByteArray("--"));
    stream >> read;
    QVERIFY(same(read, second));
    QCOMPARE(buffer.pos(), qint64(firstBytes.size() + 2 + secondBytes.size()));
    int last = 0;
    stream >> last;
    QCOMPARE(last, 7);
    QVERIFY(stream.atEnd());
    QVERIFY(stream.isValid());
}

void tst_DataStream::bufferNotOpenForIt_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("reading");
    QTest::newRow("reading write-only") << int(QIODevice::WriteOnly) << true;
    QTest::newRow("reading closed") << int(QIODevice::NotOpen) << true;
    QTest::newRow("writing read-only") << int(QIODevice::ReadOnly) << false;
    QTest::newRow("writing closed") << int(QIODevice::NotOpen) << false;
}

// Memory of the buffer at hand or not, the open mode rules.
void tst_DataStream::bufferNotOpenForIt()
{
    QFETCH(int, mode);
    QFETCH(bool, reading);
    MessageLog log;
    const QVariant value(QVariantList{1, QStringLiteral("x")});
    const QByteArray bytes = streamForm(value);
    QBuffer buffer;
    buffer.setData(bytes);
    if (mode != QIODevice::NotOpen)
        buffer.open(QIODevice::OpenMode(mode));
    DataStream stream(&buffer);
    if (reading) {
        QVariant read(5);
        stream >> read;
        QVERIFY(!read.isValid());
    } else {
        stream << value;
    }
    QVERIFY(!stream.isValid());
    QCOMPARE(buffer.data(), bytes);
    QCOMPARE(buffer.pos(), qint64(0));
}

// A helper that works on the device itself finds it where the value stands.
void tst_DataStream::helperSeesDevice()
{
    const QVariant value(QVariantList{1, QVariant::fromValue(My::Probe{"AB", 7})});
    const QByteArray bytes = record(QMetaType::QVariantList) + i64(2) + intRecord(1) + customRecord("My::Probe") + "AB"
        + hex("0007");
    const qint64 probeAt = 3 + bytes.size() - 4;

    My::Probe::positions().clear();
    QBuffer output;
    output.setData("xyz");
    output.open(QIODevice::WriteOnly);
    output.seek(3);
    DataStream writer(&output);
    writer << value;
    QVERIFY(writer.isValid());
    QCOMPARE(output.data().toHex(' '), ("xyz" + bytes).toHex(' '));
    QCOMPARE(My::Probe::positions(), QList<qint64>{probeAt});

    My::Probe::positions().clear();
    QBuffer input;
    input.setData("xyz" + bytes + "!");
    input.open(QIODevice::ReadOnly);
    input.seek(3);
    DataStream reader(&input);
    QVariant read;
    reader >> read;
    QVERIFY(reader.isValid());
    QVERIFY(same(read, value));
    QCOMPARE(My::Probe::positions(), QList<qint64>{probeAt});
    QCOMPARE(input.pos(), qint64(3 + bytes.size()));

    My::Probe::positions().clear();
    PlainDevice plain("xyz" + bytes);
    plain.seek(3);
    DataStream plainReader(&plain);
    plainReader >> read;
    QVERIFY(same(read, value));
    QCOMPARE(My::Probe::positions(), QList<qint64>{probeAt});
}

// A copy of the stream shares the device, so it carries on where the original stands.
void tst_DataStream::helperCopiesStream()
{
    const QVariant value(QVariantList{QVariant::fromValue(My::Copier{7}), 1});
    const QByteArray bytes = record(QMetaType::QVariantList) + i64(2) + customRecord("My::Copier") + hex("00000007")
        + intRecord(1);
    QBuffer output;
    output.open(QIODevice::WriteOnly);
    DataStream writer(&output);
    writer << value;
    QVERIFY(writer.isValid());
    QCOMPARE(output.data().toHex(' '), bytes.toHex(' '));

    QBuffer input;
    input.setData(bytes);
    input.open(QIODevice::ReadOnly);
    DataStream reader(&input);
    QVariant read;
    reader >> read;
    QVERIFY(reader.isValid());
    QVERIFY(same(read, value));
    QCOMPARE(input.pos(), qint64(bytes.size()));
}

void tst_DataStream::transactionRollsBack()
{
    const QVariant value(QVariantList{1, QStringLiteral("x")});
    QBuffer buffer;
    buffer.setData(streamForm(value));
    buffer.open(QIODevice::ReadOnly);
    DataStream stream(&buffer);
    buffer.startTransaction();
    QVariant read;
    stream >> read;
    QVERIFY(same(read, value));
    buffer.rollbackTransaction();
    QCOMPARE(buffer.pos(), qint64(0));
    stream >> read;
    QVERIFY(same(read, value));
    QVERIFY(stream.atEnd());
}

void tst_DataStream::writeAtOffset_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("start");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray before("abcdefghijklmnopqrstuvwxyz0123");
    const QByteArray value = streamForm(QVariant(QVariantList{5}));
    QTest::newRow("write only, inside") << int(QIODevice::WriteOnly) << 3 << before.left(3) + value + before.mid(3 + value.size());
    QTest::newRow("read-write, inside") << int(QIODevice::ReadWrite) << 3 << before.left(3) + value + before.mid(3 + value.size());
    QTest::newRow("write only, past the end") << int(QIODevice::WriteOnly) << 26 << before.left(26) + value;
    QTest::newRow("append") << int(QIODevice::WriteOnly | QIODevice::Append) << -1 << before + value;
    QTest::newRow("truncate") << int(QIODevice::WriteOnly | QIODevice::Truncate) << 0 << value;
}

void tst_DataStream::writeAtOffset()
{
    QFETCH(int, mode);
    QFETCH(int, start);
    QFETCH(QByteArray, expected);
    const QVariant value(QVariantList{5});
    QBuffer buffer;
    buffer.setData("abcdefghijklmnopqrstuvwxyz0123");
    buffer.open(QIODevice::OpenMode(mode));
    if (start >= 0)
        buffer.seek(start);
    const qint64 end = buffer.pos() + streamForm(value).size();
    DataStream stream(&buffer);
    stream << value;
    QVERIFY(stream.isValid());
    QCOMPARE(buffer.data(), expected);
    QCOMPARE(buffer.pos(), end);
}

void tst_DataStream::sameBytesOnEveryDevice()
{
    QVariantHash hash{{QStringLiteral("one"), 1}, {QStringLiteral("two"), QVariant::fromValue(My::Type{2, QStringLiteral("b")})}};
    const QVariant value(QVariantMap{
        {QStringLiteral("list"), QVariantList{1, 2.5, QStringLiteral("three"), QByteArray("four"), QVariant()}},
        {QStringLiteral("hash"), hash},
        {QStringLiteral("when"), QDateTime(SomeDate, SomeTime, customZone())},
        {QStringLiteral("custom"), QVariant::fromValue(My::Type{7, QStringLiteral("x")})},
        {QStringLiteral("boxed"), QVariant::fromValue(My::Box{QVariantList{QStringLiteral("in")}})},
        {QStringLiteral("half"), QVariant::fromValue(qfloat16(0.5f))}});
    const QByteArray bytes = streamForm(value);
    QVERIFY(!bytes.isEmpty());

    PlainDevice plain;
    DataStream overPlain(&plain);
    overPlain << value;
    QCOMPARE(plain.data(), bytes);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("value")));
    QVERIFY(file.open(QIODevice::ReadWrite));
    DataStream overFile(&file);
    overFile << value;
    QVERIFY(overFile.isValid());
    Zeto::NativeFileFlush(file);
    QCOMPARE(file.size(), qint64(bytes.size()));

    file.seek(0);
    QVariant read;
    overFile >> read;
    QVERIFY(overFile.isValid());
    QVERIFY(same(read, value));
    QVERIFY(overFile.atEnd());
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
}

// ---- the registry ---------------------------------------------------------------

void tst_DataStream::isTypeRegistered_data()
{
    QTest::addColumn<QByteArray>("typeName");
    QTest::addColumn<bool>("registered");
    const struct { const char *name; bool registered; } rows[] = {
        {"QString", true}, {"const QString &", true}, {"QString*", false}, {"QString &", true},
        {"int", true}, {"bool", true}, {"long", true}, {"char", true}, {"float", true},
        {"QVariant", true}, {"QVariantList", true}, {"QVariantMap", true}, {"QVariantHash", true},
        {"QStringList", true}, {"QByteArrayList", true}, {"QRegularExpression", true}, {"QUuid", true},
        {"std::nullptr_t", true}, {"QCborSimpleType", true}, {"qfloat16", true},
        {"QSize", false}, {"QJsonValue", false}, {"void", false}, {"QObject*", false},
        {"My::Type", true}, {"const My::Type&", true}, {"My::Type*", false}, {"My::Unstreamed", false},
        {"Nothing::AtAll", false}, {"", false}};
    for (const auto &row : rows)
        QTest::newRow(row.name[0] ? row.name : "(empty)") << QByteArray(row.name) << row.registered;
}

void tst_DataStream::isTypeRegistered()
{
    QFETCH(QByteArray, typeName);
    QFETCH(bool, registered);
    QCOMPARE(Zeto::isTypeRegistered(typeName), registered);
}

void tst_DataStream::typeNames_data()
{
    QTest::addColumn<QByteArray>("typeName");
    QTest::addColumn<QByteArray>("integral");
    QTest::addColumn<bool>("argumentValid");
    QTest::newRow("const reference") << QByteArray("const QString &") << QByteArray("QString") << true;
    QTest::newRow("reference") << QByteArray("QString &") << QByteArray("QString") << true;
    QTest::newRow("plain") << QByteArray("int") << QByteArray("int") << true;
    QTest::newRow("template") << QByteArray("const QMap<QString, int> &") << QByteArray("QMap<QString,int>") << true;
    QTest::newRow("pointer") << QByteArray("MyType*") << QByteArray("MyType") << false;
    QTest::newRow("double pointer") << QByteArray("char**") << QByteArray("char") << false;
    QTest::newRow("const pointer") << QByteArray("const MyType *") << QByteArray("MyType") << false;
    QTest::newRow("pointer reference") << QByteArray("QString*&") << QByteArray("QString") << false;
}

void tst_DataStream::typeNames()
{
    QFETCH(QByteArray, typeName);
    QFETCH(QByteArray, integral);
    QFETCH(bool, argumentValid);
    QCOMPARE(Zeto::integralTypename(typeName), integral);
    QCOMPARE(Zeto::isArgumentTypeValid(typeName), argumentValid);
}

void tst_DataStream::registrationMakesTypesStreamable()
{
    MessageLog log;
    const int known = qRegisterMetaType<My::Late>();
    QVERIFY(!Zeto::isTypeRegistered("My::Late"));
    QVERIFY(streamForm(QVariant::fromValue(My::Late{4})).isEmpty());

    const int id = Zeto::registerType<My::Late>();
    QCOMPARE(id, known);
    QVERIFY(Zeto::isTypeRegistered("My::Late"));
    QVERIFY(Zeto::isTypeRegistered("const My::Late &"));
    QVERIFY(!Zeto::isTypeRegistered("My::Late*"));
    Zeto::IZetoStreamHelper *helper = helperOf(id);
    QVERIFY(helper);
    QCOMPARE(Zeto::registerType<My::Late>(), id);
    QCOMPARE(helperOf(id), helper);
    QCOMPARE(streamForm(QVariant::fromValue(My::Late{4})), customRecord("My::Late") + hex("00000004"));
}

void tst_DataStream::standardStringsNeedRegistration()
{
    MessageLog log;
    const QByteArray names[] = {"std::string", "std::u16string", "std::u32string"};
    for (const QByteArray &typeName : names)
        QVERIFY2(QMetaType::type(typeName) > 0, typeName.constData());
    QCOMPARE(QMetaType::type("std::string"), qMetaTypeId<std::string>());
    QVERIFY(!Zeto::isTypeRegistered("std::string"));

    const QVariant value = QVariant::fromValue(std::string("ab"));
    QVERIFY(streamForm(value).isEmpty());
    const QString typeName = QStringLiteral("std::string");
    QCOMPARE(log.warnings(), (QStringList{notRegistered(typeName), saveFailed(typeName, qMetaTypeId<std::string>())}));

    Zeto::registerType<std::string>();
    QVERIFY(Zeto::isTypeRegistered("std::string"));
    const QByteArray bytes = customRecord("std::string") + hex("0000000000000002 6162");
    QCOMPARE(streamForm(value), bytes);
    QVERIFY(readsBack(bytes, value));
}

void tst_DataStream::customTypesInsideContainers()
{
    const QVariant custom = QVariant::fromValue(My::Type{9, QStringLiteral("z")});
    const QVariant values[] = {QVariantList{custom, 1}, QVariantMap{{QStringLiteral("c"), custom}},
                               QVariantHash{{QStringLiteral("c"), custom}},
                               QVariant::fromValue(My::Box{QVariantList{custom}})};
    for (const QVariant &value : values) {
        const QByteArray bytes = streamForm(value);
        QVERIFY(bytes.contains(name("My::Type") + hex("00000009 0000000000000001 007A")));
        QVERIFY(readsBack(bytes, value));
    }
}

void tst_DataStream::concurrentRegistration()
{
    QVector<int> ids(8, 0);
    QVERIFY(runTogether(ids.size(), [&ids](int i) { ids[i] = Zeto::registerType<My::Racer>(); }));
    const int id = qMetaTypeId<My::Racer>();
    QCOMPARE(ids, QVector<int>(8, id));
    QCOMPARE(helperCount(id), 1);
    QCOMPARE(streamForm(QVariant::fromValue(My::Racer{1})), customRecord("My::Racer") + hex("00000001"));
}

QTEST_GUILESS_MAIN(tst_DataStream)
#include "tst_DataStream.moc"
