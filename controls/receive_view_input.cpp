// ReceiveView's handling of the keyboard, the mouse and input methods, and
// the caret movement and scrolling they cause.
#include "controls/receive_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include <cmath>

bool ReceiveView::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        if (keyEvent->matches(QKeySequence::Copy) || keyEvent->matches(QKeySequence::SelectAll)) {
            event->accept();
            return true;
        }
    }
    return QFrame::event(event);
}

void ReceiveView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy))
        return copy();
    if (event->matches(QKeySequence::SelectAll))
        return selectAll();
    ensureLayout();
    bool select = false;
    const auto is = [&](QKeySequence::StandardKey move, QKeySequence::StandardKey extend) {
        select = event->matches(extend);
        return select || event->matches(move);
    };
    const qsizetype line = m_lines.lineAt(m_cursor);
    qsizetype lines = 0;
    qsizetype target = m_cursor;
    if (is(QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar))
        target = hasSelectedText() && !select ? selectionEnd() : m_lines.nextPosition(m_cursor);
    else if (is(QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar))
        target =
            hasSelectedText() && !select ? selectionStart() : m_lines.previousPosition(m_cursor);
    else if (is(QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine))
        lines = 1;
    else if (is(QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine))
        lines = -1;
    else if (is(QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage))
        lines = visibleLineCount();
    else if (is(QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage))
        lines = -visibleLineCount();
    else if (is(QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine))
        target = m_lines.lineStart(line);
    else if (is(QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine))
        target = m_lines.lastCaretPosition(line);
    else if (is(QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument))
        target = 0;
    else if (is(QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument))
        target = m_lines.length();
    else
        return QFrame::keyPressEvent(event); // typed text changes nothing

    if (lines == 0) {
        m_goalX = -1;
    } else {
        if (m_goalX < 0)
            m_goalX = m_lines.xForPosition(line, m_cursor);
        if (qAbs(lines) > 1)
            scrollTo(m_firstLine + lines); // a page turns the view as well
        const qsizetype targetLine = qBound<qsizetype>(0, line + lines, m_lines.lineCount() - 1);
        target = m_lines.positionForX(targetLine, m_goalX);
    }
    moveCursor(target, select);
}

void ReceiveView::inputMethodEvent(QInputMethodEvent *event)
{
    event->accept(); // read-only: committed text changes nothing
}

QVariant ReceiveView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    if (query == Qt::ImEnabled)
        return true;
    if (query == Qt::ImCursorRectangle) {
        const QRect rect = cursorRect();
        return rect.isNull() ? QRect(textRect().topLeft(), QSize(1, m_lines.lineHeight())) : rect;
    }
    return QFrame::inputMethodQuery(query);
}

void ReceiveView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QFrame::mousePressEvent(event);
    m_selectingWithMouse = true;
    m_goalX = -1;
    moveCursor(positionAt(event->position().toPoint()),
               event->modifiers().testFlag(Qt::ShiftModifier));
}

void ReceiveView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_selectingWithMouse && event->buttons().testFlag(Qt::LeftButton))
        moveCursor(positionAt(event->position().toPoint()), true);
}

void ReceiveView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_selectingWithMouse)
        return QFrame::mouseReleaseEvent(event);
    m_selectingWithMouse = false;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (hasSelectedText() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void ReceiveView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QFrame::mouseDoubleClickEvent(event);
    const auto [start, end] = m_lines.wordAt(positionAt(event->position().toPoint()));
    m_anchor = start;
    moveCursor(end, true);
}

void ReceiveView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void ReceiveView::moveCursor(qsizetype position, bool keepAnchor)
{
    ensureLayout();
    m_cursor = qBound<qsizetype>(0, position, m_lines.length());
    if (!keepAnchor)
        m_anchor = m_cursor;
    ensureCursorVisible();
    restartBlinking();
    update();
}

void ReceiveView::ensureCursorVisible()
{
    const qsizetype line = m_lines.lineAt(m_cursor);
    const qsizetype fullLines = visibleLineCount();
    if (line < m_firstLine)
        scrollTo(line);
    else if (line >= m_firstLine + fullLines)
        scrollTo(line - fullLines + 1);
}

void ReceiveView::scrollTo(qsizetype firstLine)
{
    const qsizetype lastFirst = qMax<qsizetype>(0, m_lines.lineCount() - visibleLineCount());
    m_firstLine = qBound<qsizetype>(0, firstLine, qMax(lastFirst, m_firstLine));
    update();
}

qsizetype ReceiveView::positionAt(const QPoint &point) const
{
    ensureLayout();
    const QRect area = textRect();
    const qsizetype row =
        qsizetype(std::floor(qreal(point.y() - area.top()) / m_lines.lineHeight()));
    const qsizetype line = qBound<qsizetype>(0, m_firstLine + row, m_lines.lineCount() - 1);
    return m_lines.positionForX(line, point.x() - area.left());
}
