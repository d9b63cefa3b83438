#include "app/terminationsignal.h"

#include <QDebug>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

const int SIGNALS[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int SIGNAL_COUNT = int(sizeof(SIGNALS) / sizeof(SIGNALS[0]));

// The handler may only write to a pipe; the event loop reads the other end.
int s_pipe[2] = {-1, -1};
struct sigaction s_previous[SIGNAL_COUNT];

} // namespace

TerminationSignal::TerminationSignal(QObject *parent)
    : QObject(parent)
{
    if (s_pipe[0] >= 0) {
        qWarning("termination signals are already watched");
        return;
    }
    if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning().noquote() << "termination signals not watched:" << qt_error_string(errno);
        s_pipe[0] = s_pipe[1] = -1;
        return;
    }
    struct sigaction action = {};
    action.sa_handler = &TerminationSignal::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < SIGNAL_COUNT; ++i)
        ::sigaction(SIGNALS[i], &action, &s_previous[i]);
    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignal::onReadable);
}

TerminationSignal::~TerminationSignal()
{
    if (!m_notifier)
        return;
    for (int i = 0; i < SIGNAL_COUNT; ++i)
        ::sigaction(SIGNALS[i], &s_previous[i], nullptr);
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

void TerminationSignal::handle(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a request to end: losing this one is harmless.
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
    errno = savedErrno;
}

void TerminationSignal::onReadable()
{
    unsigned char byte = 0;
    while (::read(s_pipe[0], &byte, 1) == 1) {
        qInfo().noquote() << "signal" << int(byte) << "received: the program ends";
        emit sigTerminate(int(byte));
    }
}
