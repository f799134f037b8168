#include "DataStream/StreamHelper.h"
#include "QObjectInfo/MethodSignature.h"

#include <QtCore/QMap>
#include <QtTest/QtTest>

// One-letter type names must canonicalise like longer ones.
struct T
{
    int value = 0;
};
Q_DECLARE_METATYPE(T)

namespace Zeto {

// Only registration is needed here; the values never travel.
template <typename Value>
DataStream &operator<<(DataStream &stream, const Value &) { return stream; }
template <typename Value>
DataStream &operator>>(DataStream &stream, Value &) { return stream; }

} // namespace Zeto

namespace {

using Zeto::MethodSignature;

const QByteArray InvalidCode = "Invalid method signature. Signature must be non empty and must be defined "
                               "enclosed in either SIGNAL or SLOT macros";
const QByteArray InvalidName = "Invalid method signature. The method name must be an identifier";
const QByteArray Refused = "Invalid method signature. Signature must be text without NUL bytes of at most 1100 "
                           "bytes, nesting at most 16 template levels";

QByteArray pointerError(const QByteArray &coded, const QByteArray &argument)
{
    return "Failed to process method signature " + coded + ". Argument " + argument
        + " is not valid. Pointers are not allowed in remote signal-slot connections.";
}

// The first type, then ",int" up to the length (which the first type's size
// must reach in steps of four).
QByteArray parameterList(const QByteArray &first, int length)
{
    return first + QByteArray(",int").repeated((length - first.size()) / 4);
}

QByteArray nested(int depth)
{
    return QByteArray("QList<").repeated(depth) + "int" + QByteArray(">").repeated(depth);
}

} // namespace

class tst_MethodSignature : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void parse_data();
    void parse();
    void areCompatible_data();
    void areCompatible();
};

void tst_MethodSignature::initTestCase()
{
    Zeto::registerType<T>();
    Zeto::registerType<std::string>();
    Zeto::registerType<QList<int>>();
    Zeto::registerType<QMap<QString, signed char>>();
}

void tst_MethodSignature::parse_data()
{
    QTest::addColumn<QByteArray>("coded");
    QTest::addColumn<QByteArray>("normalized");
    QTest::addColumn<QByteArray>("error");

    const QByteArray none;
    QTest::newRow("empty") << none << none << InvalidCode;
    QTest::newRow("method code 0") << QByteArray("0run()") << none << InvalidCode;
    QTest::newRow("no code") << QByteArray("run()") << none << InvalidCode;
    QTest::newRow("no name") << QByteArray("1(int)") << none << InvalidName;
    QTest::newRow("name not an identifier") << QByteArray("1f*g()") << none << InvalidName;
    QTest::newRow("signal") << QByteArray("2finished()") << QByteArray("finished()") << none;
    QTest::newRow("const reference") << QByteArray("1set(const QString &)") << QByteArray("set(QString)") << none;
    QTest::newRow("reference") << QByteArray("1set(QString&)") << QByteArray("set(QString&)") << none;
    QTest::newRow("alias") << QByteArray("1setValue(qint64)") << QByteArray("setValue(qlonglong)") << none;
    QTest::newRow("several arguments") << QByteArray("1f(quint8, const std::string &,QVariantMap)")
                                       << QByteArray("f(uchar,std::string,QVariantMap)") << none;
    QTest::newRow("alias in template") << QByteArray("2changed(QList<qint32>)") << QByteArray("changed(QList<int>)")
                                       << none;
    QTest::newRow("comma in template") << QByteArray("2s(QMap<QString,qint8>)")
                                       << QByteArray("s(QMap<QString,signed char>)") << none;
    QTest::newRow("one-letter type") << QByteArray("1f(T)") << QByteArray("f(T)") << none;
    QTest::newRow("pointer") << QByteArray("1set(int*)") << none << pointerError("1set(int*)", "int*");
    QTest::newRow("pointer to pointer") << QByteArray("1set(char**)") << none << pointerError("1set(char**)", "char**");
    QTest::newRow("reference to pointer") << QByteArray("1set(int,int*&)") << none
                                          << pointerError("1set(int,int*&)", "int*&");
    QTest::newRow("unregistered") << QByteArray("1take(MyType)") << none
                                  << QByteArray("Argument MyType is not registered.");
    QTest::newRow("unregistered in template") << QByteArray("1take(QList<MyType>)") << none
                                              << QByteArray("Argument QList<MyType> is not registered.");
    QTest::newRow("bracket first") << QByteArray("1take(int,>int)") << none
                                   << QByteArray("Argument >int is not valid.");

    const QByteArray longest = parameterList("uint", MethodSignature::MaxParameterListLength);
    QTest::newRow("parameter list of 1024") << "1f(" + longest + ')' << "f(" + longest + ')' << none;
    QTest::newRow("parameter list of 1025") << "1f(" + parameterList("short", 1025) + ')' << none << none;
    // Code, name, parentheses and the longest parameter list: 1100 bytes.
    const QByteArray name(MethodSignature::MaxCodedLength - 3 - MethodSignature::MaxParameterListLength, 'n');
    QTest::newRow("1100 bytes") << "1" + name + '(' + longest + ')' << name + '(' + longest + ')' << none;
    QTest::newRow("1101 bytes") << "1" + name + "n(" + longest + ')' << none << Refused;
    QTest::newRow("NUL byte") << QByteArray("1f(int)\0g", 9) << none << Refused;
    QTest::newRow("nesting 16") << "2f(" + nested(16) + ')' << none
                                << "Argument " + QMetaObject::normalizedType(nested(16)) + " is not registered.";
    QTest::newRow("nesting 17") << "2f(" + nested(17) + ')' << none << Refused;
    QTest::newRow("nesting 17 after closings") << "2f(>>>>" + nested(17) + ')' << none << Refused;
}

void tst_MethodSignature::parse()
{
    QFETCH(QByteArray, coded);
    QFETCH(QByteArray, normalized);
    QFETCH(QByteArray, error);

    const MethodSignature signature(coded);
    QCOMPARE(signature.codedSignature(), coded);
    QCOMPARE(signature.isSignal(), coded.startsWith('2'));
    QCOMPARE(signature.isSlot(), coded.startsWith('1'));
    QCOMPARE(signature.normalizedSignature(), normalized);
    QCOMPARE(signature.errorString(), error);
    QCOMPARE(signature.errorString().isNull(), error.isNull());
    if (!normalized.isEmpty())
        QCOMPARE(MethodSignature('2' + normalized).normalizedSignature(), normalized);
}

void tst_MethodSignature::areCompatible_data()
{
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<bool>("compatible");

    QTest::newRow("same arguments") << QByteArray("2f(int,QString)") << QByteArray("1g(int,QString)") << true;
    QTest::newRow("leading part") << QByteArray("2f(int,QString)") << QByteArray("1g(int)") << true;
    QTest::newRow("no arguments") << QByteArray("2f(int)") << QByteArray("1g()") << true;
    QTest::newRow("aliases") << QByteArray("2f(qint64)") << QByteArray("1g(qlonglong)") << true;
    QTest::newRow("other type") << QByteArray("2f(int)") << QByteArray("1g(QString)") << false;
    QTest::newRow("trailing part") << QByteArray("2f(int,QString)") << QByteArray("1g(QString)") << false;
    QTest::newRow("more arguments") << QByteArray("2f()") << QByteArray("1g(int)") << false;
    QTest::newRow("signal coded as slot") << QByteArray("1f(int)") << QByteArray("1g(int)") << false;
    QTest::newRow("slot coded as signal") << QByteArray("2f(int)") << QByteArray("2g(int)") << false;
    QTest::newRow("failed parse") << QByteArray("2f(int*)") << QByteArray("1g()") << false;
}

void tst_MethodSignature::areCompatible()
{
    QFETCH(QByteArray, signal);
    QFETCH(QByteArray, slot);
    QFETCH(bool, compatible);

    QCOMPARE(Zeto::areCompatible(MethodSignature(signal), MethodSignature(slot)), compatible);
}

QTEST_GUILESS_MAIN(tst_MethodSignature)
#include "tst_MethodSignature.moc"
