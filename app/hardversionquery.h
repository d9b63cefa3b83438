#pragma once

#include "model/replymodels.h"

#include <QMetaObject>
#include <QObject>
#include <QTimer>

class ComManager;

// One request for the versions of the printer's two controller programs.
// ready() follows the reply, or REPLY_WAIT_MS without one. Until finish()
// (or destruction) every reply is still taken in: stored in
// PrinterUtil::s_printerHardVersion when its status is 0, else reported.
class HardVersionQuery : public QObject
{
    Q_OBJECT

public:
    static constexpr int REPLY_WAIT_MS = 1000;

    explicit HardVersionQuery(ComManager *link, QObject *parent = nullptr);
    ~HardVersionQuery() override;

    // Sends the request; false when it could not be written (nothing is
    // awaited then).
    bool start();
    // Stops taking replies in.
    void finish();

signals:
    // The reply came or the wait ran out; once per query.
    void ready();

private:
    enum class State { Idle, Waiting, Ready, Finished };
    void onReply(const PrintHardWareVersion &model);
    void becomeReady();

    ComManager *link;
    QTimer timer;
    QMetaObject::Connection replyConnection;
    State state = State::Idle;
};
