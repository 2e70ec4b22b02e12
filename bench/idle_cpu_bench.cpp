// CPU an idle program costs: the window shown with COM1 open on a
// pseudo-terminal and nothing arriving, with the caret blinking and without,
// and after the board has hung up. Prints milliseconds of CPU per second and
// PASS or FAIL for each target; exits non-zero if one is missed.
#include "fixture.h"

#include <QApplication>
#include <QTest>
#include <QThreadPool>

#include <cstdio>

namespace {

constexpr int kMeasureMs = 5000;

// Lets the window settle, then returns the milliseconds of CPU per second
// the whole process uses while its event loop runs for kMeasureMs.
double cpuMsPerSecondWhileIdle()
{
    idleFor(500);
    // Idle pooled threads (image scaling uses them) end on their own after a
    // while; they must not do so during the measurement.
    QThreadPool::globalInstance()->waitForDone();
    const double before = processCpuSeconds();
    idleFor(kMeasureMs);
    return (processCpuSeconds() - before) * 1000 * 1000 / kMeasureMs;
}

bool report(const char *what, double msPerSecond, double limit)
{
    const bool pass = msPerSecond < limit;
    std::printf("%s  %-44s %6.2f ms/s (target under %.0f)\n", pass ? "PASS" : "FAIL", what,
                msPerSecond, limit);
    return pass;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Not the tests' FormFixture: its modal box watcher wakes every few ms.
    PtyBoard board;
    Form1 form(ptyLocator({{1, board.slavePath()}}));
    const Form1Controls &c = form.controls();
    form.load();
    if (!showAndActivate(form) || !c.MSComm1->PortOpen()) {
        std::fprintf(stderr, "idle_cpu_bench: the window did not start with COM1 open\n");
        return 2;
    }
    QTest::mouseClick(c.fssj0->viewport(), Qt::LeftButton);
    QTest::keyClicks(c.fssj0, QStringLiteral("hi"));
    if (!spinEventLoopUntil([&] { return c.fssj1->text() == u"hi"; })) {
        std::fprintf(stderr, "idle_cpu_bench: no echo\n");
        return 2;
    }

    std::printf("CPU of the whole process, idling %d ms after 500 ms to settle:\n", kMeasureMs);
    bool pass = report("port open, caret blinking in the send box", cpuMsPerSecondWhileIdle(), 5);

    // Without the blinking nothing at all should wake the program.
    const int flashTime = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(0);
    c.Command2->setFocus(); // the send box reads the flash time on focus
    c.fssj0->setFocus();
    pass &= report("port open, caret not blinking", cpuMsPerSecondWhileIdle(), 1);

    board.hangUp();
    if (!spinEventLoopUntil([&] { return !c.MSComm1->PortOpen(); }))
        std::fprintf(stderr, "idle_cpu_bench: the hang-up was not noticed\n");
    pass &= report("after the board hung up, caret not blinking", cpuMsPerSecondWhileIdle(), 1);
    QApplication::setCursorFlashTime(flashTime);
    return pass ? 0 : 1;
}
