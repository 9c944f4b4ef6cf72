#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP, delivered through the event loop: the handler only writes the signal's
// number into a pipe, whose other end a socket notifier reads in the GUI thread. A signal that the
// editor was started to ignore (nohup) stays ignored.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    // The one instance; the handlers are installed when it is first asked for.
    static TerminationSignals* instance();

    // A signal has arrived (also before it is delivered): loops that keep the event loop waiting
    // stop waiting.
    static bool arrived();

signals:
    void received(int signalNumber);

private:
    TerminationSignals();
    void readPipe();

    QSocketNotifier* m_pNotifier = nullptr;
};
