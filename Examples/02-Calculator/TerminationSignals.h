#ifndef TERMINATIONSIGNALS_H
#define TERMINATIONSIGNALS_H

class QCoreApplication;

// Lets SIGINT and SIGTERM end the event loop, so that the server shuts down
// as when it returns normally.
void quitOnTerminationSignals(QCoreApplication &application);

#endif // TERMINATIONSIGNALS_H
