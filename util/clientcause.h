#pragma once

// Whose doing a log line is. While a ClientCause is open on a thread, every
// message emitted there is an API client's doing: the log counts it in the
// day's share of client text and escapes it (LogFile). The server opens one
// for each thing a client does; what a client starts carries it on to its
// later steps: a print job started inside one opens one again whenever the
// job runs, and the printer's reply to a request sent inside one is
// announced inside one. The program's own events (the user's actions and
// the replies to them, the link coming and going, whatever the printer
// sends unasked) run outside any, and are always logged.
//
// A cause holds for its scope and gives way to the one it was opened in when
// it ends; one opened closed (open false) holds the program's own doing,
// also where a client's doing let it run (the user's job started once a
// client's page is done with).
class ClientCause
{
public:
    // open false: what runs now is the program's own, for code that runs
    // for a client only at times.
    explicit ClientCause(bool open = true);
    ~ClientCause();
    ClientCause(const ClientCause &) = delete;
    ClientCause &operator=(const ClientCause &) = delete;

    static bool isOpen();

private:
    bool m_outer;
};
