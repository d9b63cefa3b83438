#pragma once

// Fixtures shared by the tests: a temporary program folder, a recorder for
// notification toasts, a log capture and small file helpers.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>
#include <QtTest>

#include <functional>

class QAbstractItemModel;

namespace TestSupport {

// The longest a test waits for what must happen: a reply, a frame, a window,
// another program. A wait ends as soon as what it waits for holds, so this
// only bounds a test whose awaited thing never comes; it lies far above the
// slowest machine's time (a sanitised build beside other builds), and
// CTest's limit on the whole test (TEST_LIMIT_S) still holds. A wait that
// asserts something does NOT happen keeps its own short time.
constexpr int WAIT_MS = 120000;
// CTest's limit on one test program, in seconds (tests/CMakeLists.txt).
constexpr int TEST_LIMIT_S = KELO_TEST_LIMIT_S;

// Points the program folder at a fresh temporary folder for its lifetime.
class TempProgramDir
{
public:
    TempProgramDir();
    ~TempProgramDir();
    TempProgramDir(const TempProgramDir &) = delete;
    TempProgramDir &operator=(const TempProgramDir &) = delete;

    QString path() const { return m_dir.path(); }
    // path() + suffix, for suffixes such as "/attachment/customConfig.json".
    QString file(const QString &suffix) const { return m_dir.path() + suffix; }

private:
    QTemporaryDir m_dir;
};

// For its lifetime no file of the process can grow past maxBytes, so
// larger writes fail as on a full disk, root or not (a file-size limit:
// writes fail with EFBIG, SIGXFSZ ignored). Reads are unaffected.
class RefusedWrites
{
public:
    explicit RefusedWrites(qint64 maxBytes = 1);
    ~RefusedWrites();
    RefusedWrites(const RefusedWrites &) = delete;
    RefusedWrites &operator=(const RefusedWrites &) = delete;

private:
    unsigned long long m_oldLimit = 0;
};

// Records every toast instead of showing it, for its lifetime.
class ToastRecorder
{
public:
    struct Toast {
        QString text;
        QString color;
        QString background;
    };
    ToastRecorder();
    ~ToastRecorder();
    ToastRecorder(const ToastRecorder &) = delete;
    ToastRecorder &operator=(const ToastRecorder &) = delete;

    const QList<Toast> &toasts() const { return m_toasts; }
    QStringList texts() const;
    void clear() { m_toasts.clear(); }

private:
    QList<Toast> m_toasts;
};

// Collects the messages the code logs, for its lifetime (they still reach
// the previous handler).
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList messages(QtMsgType type) const;
    QStringList warnings() const { return messages(QtWarningMsg); }
    bool contains(const QString &fragment) const;
    // Warnings of failed connections: slots a form names but its window
    // lacks, or connects that did not take.
    QStringList connectionWarnings() const;
    void clear();
};

// Moves the process, for the rest of its run, into an empty temporary
// working folder of its own. The print record lives in the working folder,
// so a test then neither reads a record left where it was started nor
// leaves one there. False when the folder could not be made.
bool useOwnWorkingFolder();

// A loopback TCP port no other socket on the machine is given for the rest
// of the run: it stays bound here, without listening, and a server that
// binds it with SO_REUSEADDR (as every Qt server does) may listen on it.
// A port merely found free could be taken by anyone before it is used.
// 0 when none could be had.
quint16 reservedLoopbackPort();

// The display texts of one column of a table model, row by row.
QStringList columnTexts(const QAbstractItemModel *model, int column);

// Bytes written as hex digits ("A9 20 10": blanks are skipped).
QByteArray hex(const char *digits);

bool writeFile(const QString &path, const QByteArray &bytes);
QByteArray readFile(const QString &path);
// Files in a folder, sorted by name.
QStringList listFiles(const QString &dir);

// The system Python (with the Debian packages the tests use as oracles).
QString systemPython();

// Runs a program to completion (at most timeoutMs; -1 leaves the bound to
// the test's own, TEST_LIMIT_S: how long another program takes on a busy
// machine is no fault of the test's); returns its exit code, or -1 when it
// could not run. Standard output and error are returned if asked.
int runProgram(const QString &program, const QStringList &args, QByteArray *out = nullptr,
               QByteArray *err = nullptr, const QByteArray &input = QByteArray(), int timeoutMs = -1);

// A figure of /proc/self/status in kB ("VmRSS:", "VmHWM:" for the peak), or -1.
qint64 processStatusKb(const char *key);
// From here on "VmHWM:" is the peak since this call (Linux 4.0 and later);
// false when it could not be reset.
bool resetPeakMemory();

// For benchmarks: the median of `runs` timings of work, in milliseconds.
double medianMs(const std::function<void()> &work, int runs = 5);

// What zbarimg reads in the image laid on white with a margin of that many
// pixels: one text per symbol found, sorted.
QStringList zbarDecode(const QImage &image, int margin = 0);

} // namespace TestSupport

// Qt's QTRY_ macros give up after 5 s unless told otherwise, and then wait
// twice as long again before they say so: here they wait up to WAIT_MS,
// once.
#undef QTRY_VERIFY
#undef QTRY_VERIFY2
#undef QTRY_COMPARE
#define QTRY_VERIFY(expr) QVERIFY(QTest::qWaitFor([&]() -> bool { return (expr); }, TestSupport::WAIT_MS))
#define QTRY_VERIFY2(expr, message)                                                                                    \
    QVERIFY2(QTest::qWaitFor([&]() -> bool { return (expr); }, TestSupport::WAIT_MS), message)
#define QTRY_COMPARE(expr, expected)                                                                                   \
    do {                                                                                                               \
        static_cast<void>(QTest::qWaitFor([&]() -> bool { return (expr) == (expected); }, TestSupport::WAIT_MS));      \
        QCOMPARE(expr, expected);                                                                                      \
    } while (false)
