// The receive box's accessible interface and its text-change announcements.
#include "controls/receive_view_accessible.h"

#include "controls/receive_view.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>

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

QAccessibleInterface *receiveViewFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ReceiveView") && object && object->isWidgetType())
        return new ReceiveViewAccessible(static_cast<ReceiveView *>(object));
    return nullptr;
}

// Gathers a view's changes and announces them once per event-loop pass: the
// characters dropped from the start, then those added at the end. It listens
// to the view only while a screen reader does, so that the view's appends
// cost nothing more without one.
class TextAnnouncer : public QObject, public QAccessible::ActivationObserver
{
public:
    explicit TextAnnouncer(ReceiveView *view)
        : QObject(view)
        , m_view(view)
        , m_announced(view->length())
    {
        QAccessible::installActivationObserver(this);
        accessibilityActiveChanged(QAccessible::isActive());
    }
    ~TextAnnouncer() override { QAccessible::removeActivationObserver(this); }

    void accessibilityActiveChanged(bool active) override
    {
        disconnect(m_listening);
        m_announced = m_view->length();
        m_removed = m_appended = 0;
        if (active)
            m_listening = connect(m_view, &ReceiveView::textChanged, this, &TextAnnouncer::changed);
    }

private:
    void changed(qsizetype removedFromFront, qsizetype appended)
    {
        const qsizetype fromAnnounced = qMin(removedFromFront, m_announced - m_removed);
        m_removed += fromAnnounced;
        m_appended = qMax<qsizetype>(0, m_appended - (removedFromFront - fromAnnounced));
        m_appended += appended;
        if (!m_scheduled) {
            m_scheduled = true;
            QMetaObject::invokeMethod(this, &TextAnnouncer::announce, Qt::QueuedConnection);
        }
    }

    void announce()
    {
        m_scheduled = false;
        if (!m_view)
            return;
        if (m_removed > 0) {
            // The characters are gone; the announcement carries their count.
            QAccessibleTextRemoveEvent event(m_view, 0, QString(m_removed, u' '));
            QAccessible::updateAccessibility(&event);
        }
        const qsizetype kept = m_announced - m_removed;
        const QString inserted = m_view->mid(kept, m_appended);
        if (!inserted.isEmpty()) {
            QAccessibleTextInsertEvent event(m_view, int(kept), inserted);
            QAccessible::updateAccessibility(&event);
        }
        m_announced = m_view->length();
        m_removed = m_appended = 0;
    }

    QPointer<ReceiveView> m_view;
    qsizetype m_announced; // characters a screen reader has been told of
    qsizetype m_removed = 0; // of those, dropped since
    qsizetype m_appended = 0; // added since, not yet announced
    bool m_scheduled = false;
    QMetaObject::Connection m_listening;
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
}
