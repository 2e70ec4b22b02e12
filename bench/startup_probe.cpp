// The program's start-up with a stopwatch: the routine app/main.cpp runs
// (app/program.h), in an application that prints a line on standard output
// each time a window is first shown (exposed, painted and flushed): "main
// <ns>", then "QMessageBox <ns>" if COM1 could not be opened, then "Form1
// <ns>", with <ns> read from the monotonic clock. Answers the warning box and
// quits once Form1 is shown. Started by startup_bench.
#include "app/program.h"
#include "bench_support.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>

#include <cstdio>

namespace {

// Notes the moment each top-level window has finished handling its first
// exposure, which is when its first picture has been flushed.
class ProbeApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject *receiver, QEvent *event) override
    {
        const bool result = QApplication::notify(receiver, event);
        if (event->type() == QEvent::Expose) {
            auto *window = qobject_cast<QWindow *>(receiver);
            if (window && window->isExposed() && !m_seen.contains(window)) {
                m_seen.append(window);
                shown(window);
            }
        }
        return result;
    }

private:
    void shown(QWindow *window)
    {
        const qint64 now = monotonicNs();
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->windowHandle() != window)
                continue;
            if (auto *box = qobject_cast<QMessageBox *>(widget)) {
                std::printf("QMessageBox %lld\n", now);
                QTimer::singleShot(0, box, [box] { box->done(QMessageBox::Ok); });
            } else if (widget->objectName() == QLatin1String("Form1")) {
                std::printf("Form1 %lld\n", now);
                QTimer::singleShot(0, this, &QCoreApplication::quit);
            }
        }
        std::fflush(stdout);
    }

    QList<QWindow *> m_seen;
};

} // namespace

int main(int argc, char *argv[])
{
    std::printf("main %lld\n", monotonicNs());
    ProbeApplication app(argc, argv);
    return runProgram(systemPortLocator());
}
