#ifndef ZETO_BENCHMARKS_BENCHSERVICE_H
#define ZETO_BENCHMARKS_BENCHSERVICE_H

#include <ZetoSdk/RemoteTags>

#include <QtCore/QByteArray>
#include <QtCore/QObject>

// The object every system serves: the same slots behind each of them.
class BenchService : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    REMOTE_SLOT int add(int first, int second) { return first + second; }
    REMOTE_SLOT QByteArray echo(const QByteArray &data) { return data; }
};

#endif // ZETO_BENCHMARKS_BENCHSERVICE_H
