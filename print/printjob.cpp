#include "print/printjob.h"

#include "print/pageplacement.h"
#include "print/printrecord.h"
#include "util/clientcause.h"
#include "util/printerutil.h"
#include "util/seams.h"
#include "util/textutil.h"

#include <QDebug>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace {

const char *const CUSTOM_RANGE_PATTERN = "(\\d+,|\\d+-\\d+,)*(\\d+|\\d+-\\d+)";

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

PrintJob::PrintJob(PageSource *source, QObject *parent)
    : QObject(parent)
    , m_source(source)
{
    m_pause.setSingleShot(true);
    // A coarse timer may fire up to 5 % early; the printer wants its full pause.
    m_pause.setTimerType(Qt::PreciseTimer);
    connect(&m_pause, &QTimer::timeout, this, [this] {
        const ClientCause cause(m_forClient);
        // The page scheduled goes, not one turned to after a cancel.
        if (m_source->shownPage() != m_page)
            m_source->showPage(m_page);
        printSignal();
    });
    m_noticeWait.setSingleShot(true);
    connect(&m_noticeWait, &QTimer::timeout, this, [this] {
        const ClientCause cause(m_forClient);
        emit logged(text("第%1页未收到打印结果，打印任务结束").arg(m_out.page + 1));
        // A slow printer's notice may still come; over a link that went, none can.
        m_latePage = m_linked;
        // A job cancelled on its last page is done with it, as the notice
        // would have had it (an API job's window closes).
        const bool lastPage = !m_abandoned && m_pages.isEmpty();
        m_state = State::Idle;
        if (lastPage)
            emit concluded();
        end();
    });
    m_replyWait.setSingleShot(true);
    connect(&m_replyWait, &QTimer::timeout, this, [this] {
        const ClientCause cause(m_forClient);
        emit logged(m_state == State::TestPageOut ? text("未收到测试页应答，测试任务结束")
                                                  : text("未收到打印机应答，打印任务结束"));
        // Nothing a user could act on stays behind: an API job's window
        // closes, so its client hears the end and the API is free again.
        m_state = State::Idle;
        emit concluded();
        end();
    });
}

bool PrintJob::checkPrinterVersion(const QString &version)
{
    static const struct {
        const char *code;
        int type;
    } CODES[] = {{"10", 1}, {"Z1", 1}, {"B18", 1}, {"B28", 1}, {"20", 2}, {"30", 3}, {"40", 4}};
    for (const auto &entry : CODES) {
        if (version.contains(QLatin1String(entry.code), Qt::CaseSensitive)) {
            PrinterUtil::s_protocolType = entry.type;
            return true;
        }
    }
    PrinterUtil::s_protocolType = 0;
    return false;
}

QString PrintJob::parsePageRange(const QString &range, int pageCount, QList<int> *pages)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QLatin1String(CUSTOM_RANGE_PATTERN)));
    if (!pattern.match(range).hasMatch())
        return text("打印范围格式不正确:") + range;
    const auto inRange = [pageCount](const QString &number, int *value) {
        bool ok = false;
        *value = number.toInt(&ok, 10);
        return ok && *value >= 1 && *value <= pageCount;
    };
    QSet<int> chosen;
    const QStringList parts = range.split(QLatin1Char(','));
    for (const QString &part : parts) {
        const QStringList ends = part.split(QLatin1Char('-'));
        int first = 0;
        int last = 0;
        if (!inRange(ends.first(), &first) || !inRange(ends.last(), &last))
            return text("打印超出范围:") + range;
        // A range runs upwards; "2-1" is a typing mistake, not an empty range.
        if (first > last)
            return text("打印范围格式不正确:") + range;
        for (int n = first; n <= last; ++n)
            chosen.insert(n);
    }
    for (int n : qAsConst(chosen))
        pages->append(n);
    std::sort(pages->begin(), pages->end());
    return QString();
}

bool PrintJob::isPrinting() const
{
    return m_state == State::AwaitingHandshake || m_state == State::HandshakeHeld || m_state == State::PagePending
           || m_state == State::PageOut;
}

bool PrintJob::isTestPrinting() const
{
    return m_state == State::TestPagePending || m_state == State::TestPageOut;
}

// ---------------------------------------------------------------------------
// Start

bool PrintJob::startPrint(const QList<int> &pages)
{
    if (!start(State::AwaitingHandshake, pages))
        return false;
    m_replyWait.start(Seams::replyWaitMs());
    emit handshakeRequested();
    return true;
}

bool PrintJob::startTestPage(const QList<int> &pages)
{
    if (!start(State::TestPagePending, pages))
        return false;
    schedulePage();
    return true;
}

bool PrintJob::start(State first, const QList<int> &pages)
{
    if (isBusy() || pages.isEmpty())
        return false;
    m_forClient = ClientCause::isOpen();
    m_abandoned = false;
    m_pages = pages;
    m_position = 0;
    m_inkUnknownLogged = false;
    m_page = m_pages.takeFirst() - 1;
    m_state = first;
    m_source->showPage(m_page);
    return true;
}

// ---------------------------------------------------------------------------
// Pages

void PrintJob::handshakeReceived(const HandshakeReceiveModel &model)
{
    // A reply that nothing here asked for (one requested elsewhere) must not
    // send a page twice, nor start one while the handshake is still held
    // back behind another window's page.
    if (m_state != State::AwaitingHandshake) {
        qInfo().noquote() << "handshake reply outside a job's start ignored";
        return;
    }
    m_replyWait.stop();
    const bool ok = checkPrinterVersion(model.sn.mid(4, 2)) || checkPrinterVersion(model.version);
    if (!ok) {
        emit logged(text("警告：未识别的版本"));
        end();
        return;
    }
    emit logged(text("打印机检测状态正常, 版本号:") + model.version);
    m_state = State::PagePending;
    schedulePage();
}

void PrintJob::schedulePage()
{
    m_pause.start(Seams::jobPauseMs());
}

void PrintJob::printSignal()
{
    const int type = PrinterUtil::s_protocolType;
    const PageSource::Printable page = m_source->printablePage();
    qInfo().noquote() << "printSignal" << type;

    if (type == 4) {
        PagePlacement::encodeBands(page.image, page.model, page.offsetX, page.offsetY, page.dpi);
        // The link has no road for these packages yet: the job ends here
        // rather than wait for a notice that cannot come.
        emit logged(text("该机型暂不支持发送打印数据，打印任务结束"));
        m_pages.clear();
        end();
        return;
    }
    if (type < 1 || type > 3) {
        emit logged(text("未识别到打印机型号"));
        qWarning().noquote() << "undefined type" << type;
        end();
        return;
    }

    const bool test = m_state == State::TestPagePending;
    const PagePlacement::Frame frame =
        PagePlacement::encodeGen1(type, page.image, page.model, page.offsetX, page.offsetY, test, page.dpi);
    if (frame.bytes.isEmpty()) {
        emit logged(text("第%1页打印失败, 打印数据生成失败").arg(m_page + 1));
        if (test)
            end();
        else
            continueJob();
        return;
    }
    m_out = {m_page, m_position, frame.dots, page.model.name, page.model.type};
    m_latePage = false;
    m_state = test ? State::TestPageOut : State::PageOut;
    if (test)
        m_replyWait.start(Seams::replyWaitMs());
    emit frameReady(frame.bytes);
}

void PrintJob::printAcknowledged(const PrintReceiveModel &model)
{
    // The acknowledgement of another window's page (one kept after its
    // window closed) is not for a page this job has not sent yet.
    if (m_state != State::PageOut && m_state != State::CancelledOut && m_state != State::TestPageOut) {
        qInfo().noquote() << "print acknowledgement without a page out ignored";
        return;
    }
    const int n = m_out.page + 1;
    if (model.status == 0)
        emit logged(text("第%1页打印开始...").arg(n));
    else
        emit logged(text("第%1页打印取消, 状态码%2").arg(n).arg(model.status));
}

void PrintJob::testPageReplied(const PrintReceiveModel &model)
{
    if (m_state != State::TestPageOut) {
        qInfo().noquote() << "test page reply without a test page ignored";
        return;
    }
    if (model.status == 0)
        emit logged(text("写入测试页任务结束"));
    else
        emit logged(text("写入测试页任务取消，状态码%1").arg(model.status));
    end();
}

void PrintJob::pageNoticed(const PrintReceiveModel &model)
{
    // The page went over a link that is gone: whatever comes over the next
    // one is not its notice.
    if (!m_linked) {
        qInfo().noquote() << "print notice over a later link ignored";
        return;
    }
    // Notices carry no page identity: one that finds no page out, nor one
    // given up unreported, counts for nothing.
    const bool awaited = m_state == State::PageOut || m_state == State::CancelledOut;
    if (!awaited && !m_latePage) {
        qInfo().noquote() << "print notice without a page out ignored";
        return;
    }
    m_latePage = false;
    const int n = m_out.page + 1;
    if (model.status != 0) {
        emit logged(text("第%1页打印失败, 状态码%2").arg(n).arg(model.status));
    } else {
        emit logged(text("第%1页打印成功!").arg(n));
        // An ink box whose count was never read (or failed its check) must
        // not be written with a count taken from nothing.
        if (PrinterUtil::s_printerSys.remainKnown) {
            emit inkConsumed(m_out.dots, m_out.position);
        } else if (!m_inkUnknownLogged) {
            m_inkUnknownLogged = true;
            qWarning().noquote() << text("墨量未知，本次打印不扣除墨量");
        }
        if (!PrintRecord::insertTable(m_out.templateName, m_out.templateType))
            TextUtil::showError(text("打印记录失败"));
    }
    // A job that gave its page up has ended already.
    if (awaited)
        continueJob();
}

void PrintJob::continueJob()
{
    if (m_pages.isEmpty()) {
        m_state = State::Idle;
        emit logged(text("打印任务结束!"));
        emit concluded();
        end();
        return;
    }
    if (isPrinting()) {
        m_page = m_pages.takeFirst() - 1;
        ++m_position;
        m_source->showPage(m_page);
        m_state = State::PagePending;
        schedulePage();
        return;
    }
    m_state = State::Idle;
    emit logged(text("打印取消!"));
    end();
}

void PrintJob::end()
{
    m_state = State::Idle;
    m_pause.stop();
    m_noticeWait.stop();
    m_replyWait.stop();
    emit pageEditable(true);
    emit finished();
}

// ---------------------------------------------------------------------------
// Cancel, stop and link loss

void PrintJob::cancel(Canceller by)
{
    emit logged(by == Canceller::Api ? text("远程打印任务终止!") : text("取消打印"));
    switch (m_state) {
    case State::AwaitingHandshake:
    case State::HandshakeHeld:
        end();
        break;
    case State::PagePending:
    case State::TestPagePending:
        // The user stopped before the page left: it never goes, and the job
        // ends as after the notice of its last page out.
        emit logged(text("打印取消!"));
        end();
        break;
    case State::PageOut:
        // The page still prints, but a printer that never reports it must
        // not hold the job for good.
        m_state = State::CancelledOut;
        awaitNotice();
        emit pageEditable(true);
        break;
    default:
        // A test page out goes on to its reply.
        emit pageEditable(true);
        break;
    }
}

void PrintJob::stop()
{
    emit stopRequested();
    awaitPageOut();
    emit logged(text("紧急终止打印"));
}

void PrintJob::linkLost()
{
    emit logged(text("与打印机断开连接，请检查"));
    m_linked = false;
    m_latePage = false;
    m_abandoned = true;
    m_pages.clear();
    // No notice can be this job's any more: waiting for one would only hold
    // the printer from the next job over the next link.
    end();
}

void PrintJob::handshakeHeld()
{
    if (m_state != State::AwaitingHandshake)
        return;
    m_state = State::HandshakeHeld;
    m_replyWait.stop();
}

bool PrintJob::handshakeSent()
{
    if (m_state != State::AwaitingHandshake && m_state != State::HandshakeHeld)
        return false;
    m_state = State::AwaitingHandshake;
    m_replyWait.start(Seams::replyWaitMs());
    return true;
}

bool PrintJob::release()
{
    m_source = nullptr;
    return awaitPageOut() || m_latePage;
}

void PrintJob::forgetLatePage()
{
    m_latePage = false;
}

bool PrintJob::awaitPageOut()
{
    m_abandoned = true;
    m_pause.stop();
    m_pages.clear();
    if (m_state != State::PageOut && m_state != State::CancelledOut) {
        // A test page is not recorded: its reply need not be awaited.
        end();
        return false;
    }
    // The page may well be printed: its notice writes its record row and
    // charges its ink, if it comes in time.
    m_state = State::CancelledOut;
    awaitNotice();
    emit pageEditable(true);
    return true;
}

void PrintJob::awaitNotice()
{
    if (!m_noticeWait.isActive())
        m_noticeWait.start(Seams::noticeWaitMs());
}
