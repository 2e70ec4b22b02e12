// A notice on Windows raises the event Narrator and NVDA hear: Qt's UI
// Automation bridge drops a notification's ObjectShow (what Orca hears) and
// turns a value change whose value is text into a UIA notification.
#include "controls/screen_reader_notice.h"

#include <QAccessible>
#include <QAccessibleEvent>
#include <QScopeGuard>
#include <QTest>
#include <QWidget>

#include <qt_windows.h>

namespace {

// What a UI Automation client asks a window for first (UiaRootObjectId).
constexpr LPARAM kUiaRootObjectId = -25;

struct Raised
{
    QAccessible::Event type;
    QAccessible::Role role;
    QString name;
    QVariant value;
};

QList<Raised> *s_raised = nullptr;

// Stands in for the bridge, which would pass each event on to UIA.
void keep(QAccessibleEvent *event)
{
    // The notice's own events; its owner has its own (shown, focused ...).
    QAccessibleInterface *iface = event->accessibleInterface();
    if (!s_raised || !iface || !qobject_cast<ScreenReaderNotice *>(event->object()))
        return;
    QVariant value;
    if (event->type() == QAccessible::ValueChanged)
        value = static_cast<QAccessibleValueChangeEvent *>(event)->value();
    s_raised->append({event->type(), iface->role(), iface->text(QAccessible::Name), value});
}

} // namespace

class TestNoticeEvents : public QObject
{
    Q_OBJECT

private slots:
    void noticeIsAUiaNotificationOnceAClientAsks();
};

void TestNoticeEvents::noticeIsAUiaNotificationOnceAClientAsks()
{
    QList<Raised> raised;
    s_raised = &raised;
    const QAccessible::UpdateHandler previous = QAccessible::installUpdateHandler(keep);
    const auto restore = qScopeGuard([previous] {
        QAccessible::installUpdateHandler(previous);
        s_raised = nullptr;
    });

    QWidget owner;
    owner.resize(200, 100);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    ScreenReaderNotice notice(&owner);

    // Nobody listens yet: nothing is raised.
    notice.say(QStringLiteral("K"));
    QVERIFY(raised.isEmpty());

    // A screen reader asks for the window, as it does on its first look.
    ::SendMessageW(reinterpret_cast<HWND>(owner.winId()), WM_GETOBJECT, 0, kUiaRootObjectId);
    QVERIFY(QAccessible::isActive());

    const QString text = QStringLiteral("串口COM1已断开！");
    notice.say(text);
    QCOMPARE(raised.size(), 1);
    const Raised &event = raised.constFirst();
    QCOMPARE(event.role, QAccessible::Notification);
    QCOMPARE(event.name, text);
    QCOMPARE(event.type, QAccessible::ValueChanged);
    // The bridge passes a value change on only when its value is text.
    QCOMPARE(event.value.typeId(), QMetaType::QString);
    QCOMPARE(event.value.toString(), text);
}

QTEST_MAIN(TestNoticeEvents)
#include "test_notice_events.moc"
