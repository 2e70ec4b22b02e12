// The receive box's accessible interface and its text-change announcements.
#include "controls/receive_view_accessible.h"

#include "controls/arrival_notices.h"
#include "controls/receive_view.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDeadlineTimer>
#include <QPointer>
#include <QTimer>

// What a screen reader reads: the text as received, line breaks included.
class ReceiveViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit ReceiveViewAccessible(ReceiveView *view)
        : QAccessibleWidget(view, QAccessible::EditableText)
    {
    }

    ReceiveView *view() const { return static_cast<ReceiveView *>(widget()); }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return view()->text();
        return QAccessibleWidget::text(t);
    }

    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && view()->hasSelectedText()) {
            *startOffset = int(view()->selectionStart());
            *endOffset = int(view()->selectionEnd());
        }
    }
    int selectionCount() const override { return view()->hasSelectedText() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override
    {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            view()->setCursorPosition(view()->cursorPosition());
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex != 0)
            return;
        ReceiveView *v = view();
        v->moveCursor(startOffset, false);
        v->moveCursor(endOffset, true);
    }
    int cursorPosition() const override { return int(view()->cursorPosition()); }
    void setCursorPosition(int position) override { view()->setCursorPosition(position); }
    QString text(int startOffset, int endOffset) const override
    {
        return view()->mid(startOffset, qMax(0, endOffset - startOffset));
    }
    int characterCount() const override { return int(view()->length()); }

    QRect characterRect(int offset) const override
    {
        const ReceiveView *v = view();
        v->ensureLayout();
        const WrappedText &lines = v->m_lines;
        if (offset < 0 || offset >= lines.length())
            return {};
        const qsizetype line = lines.lineAt(offset);
        if (line < v->m_firstLine || line >= v->m_firstLine + v->linesInView())
            return {};
        const QRect area = v->textRect();
        const int x = area.left() + qRound(lines.xForPosition(line, offset));
        const int y = area.top() + int(line - v->m_firstLine) * lines.lineHeight();
        const int width = qMax(1, qRound(lines.advanceAt(offset)));
        return QRect(v->mapToGlobal(QPoint(x, y)), QSize(width, lines.lineHeight()));
    }

    int offsetAtPoint(const QPoint &point) const override
    {
        return int(view()->positionAt(view()->mapFromGlobal(point)));
    }

    void scrollToSubstring(int startIndex, int /*endIndex*/) override
    {
        ReceiveView *v = view();
        v->ensureLayout();
        const qsizetype line =
            v->m_lines.lineAt(qBound(qsizetype(0), qsizetype(startIndex), v->length()));
        if (line < v->m_firstLine || line >= v->m_firstLine + v->visibleLineCount())
            v->scrollTo(line);
    }

    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }
};

namespace {

// Most characters one text-removed announcement carries.
constexpr qsizetype kMaxRemovedPiece = 64 * 1024;
// Least time between two announcements of added text.
constexpr int kInsertGapMs = 100;

QAccessibleInterface *receiveViewFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ReceiveView") && object && object->isWidgetType())
        return new ReceiveViewAccessible(static_cast<ReceiveView *>(object));
    return nullptr;
}

// Tells a screen reader of a view's changes as its accessible text: what is
// dropped from the start at once, with the characters dropped, and what is
// added at the end gathered, at the end of the event-loop pass in which it
// came but no sooner than kInsertGapMs after the last such announcement, so
// that a flood from the line does not flood the screen reader with events.
// It listens to the view only while a screen reader does, so that the view's
// appends cost nothing more without one.
class TextAnnouncer : public QObject, public QAccessible::ActivationObserver
{
public:
    explicit TextAnnouncer(ReceiveView *view)
        : QObject(view)
        , m_view(view)
        , m_announced(view->length())
    {
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &TextAnnouncer::announce);
        QAccessible::installActivationObserver(this);
        accessibilityActiveChanged(QAccessible::isActive());
    }
    ~TextAnnouncer() override { QAccessible::removeActivationObserver(this); }

    void accessibilityActiveChanged(bool active) override
    {
        disconnect(m_listening);
        disconnect(m_removing);
        m_timer.stop();
        m_announced = m_view->length();
        m_appended = 0;
        if (active) {
            m_listening = connect(m_view, &ReceiveView::textChanged, this, &TextAnnouncer::changed);
            m_removing = connect(m_view, &ReceiveView::textAboutToBeRemoved, this,
                                 &TextAnnouncer::aboutToRemove);
        }
    }

private:
    void changed(qsizetype /*removedFromFront: told before*/, qsizetype appended)
    {
        m_appended += appended;
        if (m_appended > 0 && !m_timer.isActive())
            m_timer.start(int(qMax<qint64>(0, m_quietUntil.remainingTime())));
    }

    // The announced characters among those about to go, in pieces of a
    // bounded size, so that clearing a full box copies no more than a piece
    // at a time; a piece never ends between the halves of a surrogate pair.
    void aboutToRemove(qsizetype fromFront)
    {
        const qsizetype announced = qMin(fromFront, m_announced);
        m_appended = qMax<qsizetype>(0, m_appended - (fromFront - announced));
        m_announced -= announced;
        for (qsizetype done = 0; done < announced;) {
            qsizetype piece = qMin(kMaxRemovedPiece, announced - done);
            QString removed = m_view->mid(done, piece);
            if (done + piece < announced && removed.back().isHighSurrogate()) {
                --piece;
                removed.chop(1);
            }
            QAccessibleTextRemoveEvent event(m_view, 0, removed);
            QAccessible::updateAccessibility(&event);
            done += piece;
        }
    }

    void announce()
    {
        const QString inserted = m_view->mid(m_announced, m_appended);
        if (!inserted.isEmpty()) {
            QAccessibleTextInsertEvent event(m_view, int(m_announced), inserted);
            QAccessible::updateAccessibility(&event);
        }
        m_announced = m_view->length();
        m_appended = 0;
        m_quietUntil.setRemainingTime(kInsertGapMs);
    }

    QPointer<ReceiveView> m_view;
    qsizetype m_announced; // characters a screen reader has been told of
    qsizetype m_appended = 0; // added since, not yet announced
    QTimer m_timer;
    QDeadlineTimer m_quietUntil;
    QMetaObject::Connection m_listening;
    QMetaObject::Connection m_removing;
};

} // namespace

void makeAccessible(ReceiveView *view)
{
    static const bool installed = [] {
        QAccessible::installFactory(receiveViewFactory);
        return true;
    }();
    Q_UNUSED(installed);
    // An interface made for the view before the factory was there (while
    // the window was being built with a screen reader already listening) is
    // a plain frame's: replace it.
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(view);
    if (iface && !dynamic_cast<ReceiveViewAccessible *>(iface))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
    new TextAnnouncer(view);
    new ArrivalNotices(view);
}
