#include "app/hardversionquery.h"

#include "printer/comanager.h"
#include "util/printerutil.h"
#include "util/textutil.h"

#include <QDebug>

HardVersionQuery::HardVersionQuery(ComManager *comManager, QObject *parent)
    : QObject(parent)
    , link(comManager)
{
    timer.setSingleShot(true);
    timer.setInterval(REPLY_WAIT_MS);
    connect(&timer, &QTimer::timeout, this, &HardVersionQuery::becomeReady);
}

HardVersionQuery::~HardVersionQuery()
{
    finish();
}

bool HardVersionQuery::start()
{
    if (state != State::Idle)
        return false;
    replyConnection = connect(link, &ComManager::onReceiveHardVersion, this, &HardVersionQuery::onReply);
    if (!link->readPrinterHardVersion()) {
        finish();
        return false;
    }
    state = State::Waiting;
    timer.start();
    return true;
}

void HardVersionQuery::finish()
{
    disconnect(replyConnection);
    timer.stop();
    state = State::Finished;
}

void HardVersionQuery::onReply(const PrintHardWareVersion &model)
{
    qDebug().noquote() << "masterVersion:" << model.masterVersion;
    qDebug().noquote() << "motionVersion:" << model.motionVersion;
    if (model.status != 0) {
        TextUtil::showError(QStringLiteral("硬件版本号获取失败"));
    } else {
        PrinterUtil::s_printerHardVersion.masterVersion = model.masterVersion;
        PrinterUtil::s_printerHardVersion.motionVersion = model.motionVersion;
    }
    becomeReady();
}

void HardVersionQuery::becomeReady()
{
    timer.stop();
    if (state != State::Waiting)
        return;
    state = State::Ready;
    emit ready();
}
