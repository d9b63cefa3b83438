#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the system's requests to end the program (SIGTERM at shutdown or
// logout, SIGINT, SIGHUP) into a Qt signal, so the program ends as closing
// its window ends it: the event loop returns and the windows, the printer
// link and the print record are closed in order, instead of the process
// dying halfway through a write. One instance at a time; the signals'
// previous handling comes back when it is destroyed.
class TerminationSignal : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignal(QObject *parent = nullptr);
    ~TerminationSignal() override;

    // False when the signals could not be caught; they then end the
    // process as they did before.
    bool isWatching() const { return m_notifier != nullptr; }

signals:
    // Emitted from the event loop, never from the handler itself.
    void sigTerminate(int signalNumber);

private:
    static void handle(int signalNumber);
    void onReadable();

    QSocketNotifier *m_notifier = nullptr;
};
