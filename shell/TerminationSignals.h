#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

// SIGTERM (a desktop's log-out or shutdown, `kill`), SIGINT (Ctrl+C in the terminal the program was
// started from) and SIGHUP (that terminal closed) would end the process where it stands, with the
// settings unwritten and the thumbnail cache's log left full. Their handler only records the signal;
// the program ends the way its own exit command does, at a point of its choosing.
//
// Each handler is good for one signal: the next of the same kind ends the process as the system
// would, so a second Ctrl+C still ends a program that does not stop.

// Installs the handlers (again, after an earlier signal). Not thread-safe; call from the main thread.
void InstallTerminationHandlers();
// The first of the three signals received since the handlers were installed; 0 none.
int TerminationSignalReceived();
// The exit status a shell gives a process ended by the signal: 128 + its number (SIGINT 130,
// SIGTERM 143, SIGHUP 129).
inline int ExitStatusForSignal(int signalNumber) {
    return 128 + signalNumber;
}

// The same signals told on the event loop: the handler writes the signal's number into a socket
// pair whose other end a QSocketNotifier watches. One object at a time; destroying it puts the
// earlier handlers back.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

signals:
    // Once, for the first signal.
    void received(int signalNumber);

private:
    void readPipe();

    int fds[2] = {-1, -1};
    QSocketNotifier* notifier = nullptr;
    struct sigaction previous[3] = {};
    bool told = false;
};
