#ifndef TERMINATIONSIGNALS_H
#define TERMINATIONSIGNALS_H

#include <functional>

class QCoreApplication;

// Runs the handler from the event loop on SIGINT or SIGTERM, so that the
// server shuts down as it chooses rather than where the signal finds it.
void onTerminationSignals(QCoreApplication &application, const std::function<void()> &handler);

#endif // TERMINATIONSIGNALS_H
