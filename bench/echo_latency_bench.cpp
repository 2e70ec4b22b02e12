// Time from a key press in the send box to its echo in the receive box: the
// real Form1 on the offscreen platform, COM1 on a pseudo-terminal whose far end
// sends back every byte at once from a thread of its own. Key presses enter at
// the window, as the platform hands them over, and reach the focused box there.
// Prints the median, 90th and 99th percentile and the maximum over the
// measured presses, and PASS or FAIL for each target.
//
// Run from a Release build:  build-rel/bench/echo_latency_bench
#include "app/main_window.h"
#include "bench_support.h"
#include "controls/receive_view.h"
#include "pty_board.h"
#include "serial/serial_port.h"

#include <QApplication>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <vector>

namespace {

constexpr int kWarmUpPresses = 100;
constexpr int kMeasuredPresses = 3000;
constexpr int kKeysPerLine = 60; // then Return

struct Key
{
    Qt::Key code;
    QString text;
};

Key keyNumber(int n)
{
    if (n % (kKeysPerLine + 1) == kKeysPerLine)
        return {Qt::Key_Return, QStringLiteral("\r")};
    const int letter = n % 26;
    return {Qt::Key(Qt::Key_A + letter), QString(QChar(u'a' + letter))};
}

// Presses the key, waits for the receive box to gain one character and
// releases the key; returns the nanoseconds from the press to that character,
// or -1 when none came within a second.
qint64 pressAndWait(Form1 &form, const Key &key)
{
    const Form1Controls &c = form.controls();
    ReceiveView *box = c.fssj1;
    const qsizetype target = box->length() + 1;
    qint64 arrived = -1;
    QEventLoop loop;
    // Connected after the program's own handler, so it sees the box after it.
    QObject::connect(c.MSComm1, &MSComm::OnComm, &loop, [&] {
        if (box->length() >= target) {
            arrived = monotonicNs();
            loop.quit();
        }
    });
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);

    QWindow *window = form.windowHandle();
    const qint64 pressed = monotonicNs();
    QTest::keyPress(window, key.code); // also runs the events it has queued
    if (arrived < 0)
        loop.exec();
    QTest::keyRelease(window, key.code);
    return arrived < 0 ? -1 : arrived - pressed;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(form1Font());

    PtyBoard line(PtyBoard::FarEnd::ForThreads);
    if (!line.isValid()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    LineEchoer board(line.farEnd());
    const QString device = line.slavePath();
    Form1 form([device](int port) { return port == 1 ? device : QString(); });
    form.load();
    form.showCentred();
    QApplication::setActiveWindow(&form);
    while (!form.windowHandle()->isExposed() || !form.isActiveWindow())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const Form1Controls &c = form.controls();
    if (!c.MSComm1->PortOpen() || QApplication::focusWidget() != c.fssj0) {
        std::fprintf(stderr, "COM1 not open or the send box has no focus\n");
        return 1;
    }

    // The first key only clears the instructions in the send box.
    pressAndWait(form, keyNumber(0));
    if (c.fssj0->isReadOnly() || c.fssj1->length() != 0) {
        std::fprintf(stderr, "the first key did not unlock the send box\n");
        return 1;
    }

    std::vector<double> latenciesUs;
    int lost = 0;
    int wrong = 0;
    for (int n = 0; n < kWarmUpPresses + kMeasuredPresses; ++n) {
        const Key key = keyNumber(n);
        const qint64 ns = pressAndWait(form, key);
        QCoreApplication::processEvents(); // whatever is left to paint
        if (ns < 0) {
            ++lost;
            continue;
        }
        if (!c.fssj1->text().endsWith(key.text))
            ++wrong;
        if (n >= kWarmUpPresses)
            latenciesUs.push_back(double(ns) / 1000);
    }

    const double p50 = median(latenciesUs);
    const double p99 = percentile(latenciesUs, 99);
    std::printf("Form1 on the offscreen platform, COM1 on a pseudo-terminal echoed at once by a "
                "thread (blocking read, write);\n%d key presses measured after %d warm-up ones, "
                "Return after every %d letters;\nfrom the key press handed to the window to the "
                "echoed character appended to the receive box\n\n",
                kMeasuredPresses, kWarmUpPresses, kKeysPerLine);
    std::printf("%8s %9s %9s %9s %9s %9s %6s %6s\n", "presses", "min us", "median us", "p90 us",
                "p99 us", "max us", "lost", "wrong");
    std::printf("%8zu %9.1f %9.1f %9.1f %9.1f %9.1f %6d %6d\n\n", latenciesUs.size(),
                percentile(latenciesUs, 0), p50, percentile(latenciesUs, 90), p99,
                percentile(latenciesUs, 100), lost, wrong);
    std::printf("%s  median under 1 ms (%.3f ms)\n", p50 < 1000 ? "PASS" : "FAIL", p50 / 1000);
    std::printf("%s  99th percentile under 5 ms (%.3f ms)\n", p99 < 5000 ? "PASS" : "FAIL",
                p99 / 1000);
    std::printf("%s  every press echoed, in order\n", lost == 0 && wrong == 0 ? "PASS" : "FAIL");
    return 0;
}
