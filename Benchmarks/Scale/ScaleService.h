#ifndef ZETO_BENCHMARKS_SCALESERVICE_H
#define ZETO_BENCHMARKS_SCALESERVICE_H

#include <ZetoSdk/RemoteTags>

#include <QtCore/QObject>

// One is made for every remote object of the benchmark.
class ScaleService : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    REMOTE_SLOT int add(int first, int second) { return first + second; }
};

#endif // ZETO_BENCHMARKS_SCALESERVICE_H
