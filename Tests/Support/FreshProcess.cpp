#include "FreshProcess.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QProcess>

namespace Zeto {
namespace Testing {

namespace {

const char FreshProcessVariable[] = "ZETO_TEST_FRESH_PROCESS";

} // namespace

bool isFreshProcess() { return qEnvironmentVariableIsSet(FreshProcessVariable); }

QString failureInFreshProcess(int timeoutMs)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(FreshProcessVariable), QStringLiteral("1"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(QTest::currentTestFunction())});
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("the fresh process did not finish within %1 ms").arg(timeoutMs);
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return QString();
    return QString::fromLocal8Bit(process.readAll());
}

} // namespace Testing
} // namespace Zeto
