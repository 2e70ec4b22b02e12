#include "controls/receive_view.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMetaMethod>
#include <QPaintEvent>
#include <QPainter>

#include <utility>

namespace {

// Room between the frame and the text on every side.
constexpr int kTextMarginPx = 4;

} // namespace

ReceiveView::ReceiveView(QWidget *parent)
    : QFrame(parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setForegroundRole(QPalette::Text);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setInputMethodHints(Qt::ImhMultiLine);
    setCursor(Qt::IBeamCursor);
}

ReceiveView::~ReceiveView() = default;

void ReceiveView::setText(const QString &text)
{
    clear();
    appendText(text);
}

void ReceiveView::appendText(QStringView text)
{
    if (text.isEmpty())
        return;
    if (text.size() >= m_maximumCharacters) {
        clear();
        qsizetype from = text.size() - m_maximumCharacters;
        const QChar first = text.at(from);
        if (first.isLowSurrogate() || (first == u'\n' && from > 0 && text.at(from - 1) == u'\r'))
            ++from; // keeps pairs whole
        text = text.sliced(from);
    }
    ensureLayout();
    const qsizetype changedLine = m_lines.lineCount() - 1;
    m_lines.append(text);
    if (textChangedHasReceivers()) {
        // Told once a pass: a signal per character would cost the listeners
        // (a screen reader's) more than the append itself.
        m_appendedUntold += text.size();
        if (!m_appendedNoticeQueued) {
            m_appendedNoticeQueued = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_appendedNoticeQueued = false;
                    tellAppended();
                },
                Qt::QueuedConnection);
        }
    }
    if (m_lines.length() > m_maximumCharacters)
        dropOldestText();
    else if (!m_repaintRequested && changedLine < m_firstLine + m_linesInView)
        requestRepaint(); // the layout is current: measured above
}

void ReceiveView::tellAppended()
{
    const qsizetype appended = std::exchange(m_appendedUntold, 0);
    if (appended > 0)
        emit textChanged(0, appended);
}

// One update() per paint: further appends before the paint add nothing to it.
void ReceiveView::requestRepaint()
{
    if (m_repaintRequested)
        return;
    m_repaintRequested = true;
    update();
}

void ReceiveView::clear()
{
    tellAppended(); // before what is removed, as it came before
    const qsizetype removed = m_lines.length();
    if (removed > 0)
        emit textAboutToBeRemoved(removed);
    m_lines.clear();
    m_firstLine = 0;
    m_cursor = m_anchor = 0;
    m_goalX = -1;
    update();
    if (removed > 0 && textChangedHasReceivers())
        emit textChanged(removed, 0);
}

void ReceiveView::setMaximumCharacters(qsizetype count)
{
    m_maximumCharacters = qBound<qsizetype>(1, count, qsizetype(1) << 30);
    if (m_lines.length() > m_maximumCharacters)
        dropOldestText();
}

// Drops the oldest eighth, so that a full box pays for a drop only once per
// that many characters.
void ReceiveView::dropOldestText()
{
    tellAppended(); // before what is removed, as it came before
    qsizetype removedLines = 0;
    const qsizetype excess = m_lines.length() - m_maximumCharacters;
    emit textAboutToBeRemoved(m_lines.frontCut(excess + m_maximumCharacters / 8));
    const qsizetype removed = m_lines.removeFront(excess + m_maximumCharacters / 8, &removedLines);
    m_firstLine = qBound<qsizetype>(0, m_firstLine - removedLines, m_lines.lineCount() - 1);
    m_cursor = qMax<qsizetype>(0, m_cursor - removed);
    m_anchor = qMax<qsizetype>(0, m_anchor - removed);
    update();
    if (textChangedHasReceivers())
        emit textChanged(removed, 0);
}

// Looked up again only after a connection has been made or undone, as an
// append must not pay for it.
bool ReceiveView::lookUpTextChangedReceivers() const
{
    m_receiversChanged = false;
    m_textChangedConnected = isSignalConnected(QMetaMethod::fromSignal(&ReceiveView::textChanged));
    return m_textChangedConnected;
}

// Only marks the receivers to be looked up again: these may run with the
// signals' own lock held.
void ReceiveView::connectNotify(const QMetaMethod &signal)
{
    Q_UNUSED(signal);
    m_receiversChanged = true;
}

void ReceiveView::disconnectNotify(const QMetaMethod &signal)
{
    Q_UNUSED(signal);
    m_receiversChanged = true;
}

qsizetype ReceiveView::visualLineCount() const
{
    ensureLayout();
    return m_lines.lineCount();
}

QString ReceiveView::visualLineText(qsizetype line) const
{
    ensureLayout();
    if (line < 0 || line >= m_lines.lineCount())
        return {};
    const qsizetype start = m_lines.lineStart(line);
    return m_lines.mid(start, m_lines.lineEnd(line) - start);
}

qreal ReceiveView::wrapWidth() const
{
    ensureLayout();
    return m_lines.wrapWidth();
}

int ReceiveView::firstVisibleLine() const
{
    ensureLayout();
    return int(m_firstLine);
}

int ReceiveView::visibleLineCount() const
{
    ensureLayout();
    return qMax(1, textRect().height() / m_lines.lineHeight());
}

void ReceiveView::setCursorPosition(qsizetype position)
{
    m_goalX = -1;
    moveCursor(position, false);
}

QString ReceiveView::selectedText() const
{
    return m_lines.mid(selectionStart(), selectionEnd() - selectionStart());
}

void ReceiveView::copy() const
{
    if (hasSelectedText())
        QGuiApplication::clipboard()->setText(selectedText());
}

void ReceiveView::selectAll()
{
    m_anchor = 0;
    m_cursor = m_lines.length();
    m_goalX = -1;
    restartBlinking();
    update();
}

QMenu *ReceiveView::createStandardContextMenu()
{
    auto *menu = new QMenu(this);
    QAction *copyAction = menu->addAction(tr("复制"));
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelectedText());
    connect(copyAction, &QAction::triggered, this, &ReceiveView::copy);
    menu->addSeparator();
    QAction *selectAllAction = menu->addAction(tr("全选"));
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    selectAllAction->setEnabled(length() > 0);
    connect(selectAllAction, &QAction::triggered, this, &ReceiveView::selectAll);
    return menu;
}

QSize ReceiveView::sizeHint() const
{
    return {256, 192};
}

// Re-wraps everything once the width or the font has changed, keeping the
// text that was at the top of the view there.
void ReceiveView::updateLayout() const
{
    m_layoutValid = true;
    m_layoutSize = size();
    const QRect contents = contentsRect();
    m_textArea = contents.adjusted(kTextMarginPx, kTextMarginPx, -kTextMarginPx, -kTextMarginPx);
    const qreal width = qMax(0, m_textArea.width());
    if (m_fontChanged || width != m_lines.wrapWidth()) {
        const qsizetype top = m_lines.lineStart(m_firstLine);
        if (m_fontChanged)
            m_lines.setFont(font(), this);
        m_fontChanged = false;
        m_lines.relayout(width);
        m_firstLine = m_lines.lineAt(top);
    }
    const int lineHeight = m_lines.lineHeight();
    m_linesInView = qMax(1, (contents.height() - kTextMarginPx + lineHeight - 1) / lineHeight);
}

QRect ReceiveView::textRect() const
{
    ensureLayout();
    return m_textArea;
}

qsizetype ReceiveView::linesInView() const
{
    ensureLayout();
    return m_linesInView;
}

void ReceiveView::paintEvent(QPaintEvent *event)
{
    m_repaintRequested = false;
    QFrame::paintEvent(event);
    ensureLayout();
    QPainter painter(this);
    painter.setClipRect(contentsRect() & event->rect());
    painter.setFont(m_lines.font());
    const QRect area = textRect();
    const int lineHeight = m_lines.lineHeight();
    const qreal right = contentsRect().right() + 1;
    const qsizetype last = qMin(m_lines.lineCount(), m_firstLine + linesInView());
    for (qsizetype line = m_firstLine; line < last; ++line) {
        const int top = area.top() + int(line - m_firstLine) * lineHeight;
        if (top + lineHeight > event->rect().top() && top <= event->rect().bottom()) {
            const QRectF rect(area.left(), top, right - area.left(), lineHeight);
            drawLine(painter, line, rect);
        }
    }
    if (m_cursorShown)
        painter.fillRect(cursorRect(), palette().color(QPalette::Text));
}

// Draws one visual line in rect, its text starting at the left edge; control
// characters take no room and are not drawn.
void ReceiveView::drawLine(QPainter &painter, qsizetype line, const QRectF &rect) const
{
    const qsizetype start = m_lines.lineStart(line);
    const qsizetype end = m_lines.lineEnd(line);
    const qsizetype selectionFrom = selectionStart();
    const qsizetype selectionTo = selectionEnd();
    const QPalette &colors = palette();
    if (selectionFrom < selectionTo && selectionFrom < end && selectionTo > start) {
        const qreal from = m_lines.xForPosition(line, qMax(start, selectionFrom));
        qreal to = m_lines.xForPosition(line, selectionTo);
        if (selectionTo >= end && m_lines.endsWithBreak(line))
            to += m_lines.advanceOf(u' '); // shows that the line break is selected too
        painter.fillRect(QRectF(rect.left() + from, rect.top(), to - from, rect.height()),
                         colors.color(QPalette::Highlight));
    }

    const qreal baseline = rect.top() + m_lines.ascent();
    qreal x = rect.left();
    qsizetype runStart = -1;
    qreal runX = 0;
    bool runSelected = false;
    const auto drawRun = [&](qsizetype runEnd) {
        if (runStart < 0)
            return;
        painter.setPen(colors.color(runSelected ? QPalette::HighlightedText : QPalette::Text));
        painter.drawText(QPointF(runX, baseline), m_lines.mid(runStart, runEnd - runStart));
        runStart = -1;
    };
    qsizetype p = start;
    for (; p < end && x <= rect.right(); ++p) {
        const bool drawable = m_lines.isDrawable(p);
        const bool selected = p >= selectionFrom && p < selectionTo;
        if (!drawable || selected != runSelected)
            drawRun(p);
        if (drawable && runStart < 0) {
            runStart = p;
            runX = x;
            runSelected = selected;
        }
        x += m_lines.advanceAt(p);
    }
    drawRun(p);
}

QRect ReceiveView::cursorRect() const
{
    const qsizetype line = m_lines.lineAt(m_cursor);
    if (line < m_firstLine || line >= m_firstLine + linesInView())
        return {};
    const QRect area = textRect();
    const int x = area.left() + qRound(m_lines.xForPosition(line, m_cursor));
    return QRect(qMin(x, contentsRect().right()),
                 area.top() + int(line - m_firstLine) * m_lines.lineHeight(), 1,
                 m_lines.lineHeight());
}

void ReceiveView::restartBlinking()
{
    if (!hasFocus())
        return;
    m_cursorShown = true;
    const int flashTime = QApplication::cursorFlashTime();
    if (flashTime >= 2)
        m_blinkTimer.start(flashTime / 2, this);
    else
        m_blinkTimer.stop();
}

void ReceiveView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ContentsRectChange || event->type() == QEvent::StyleChange)
        m_layoutValid = false;
    if (event->type() == QEvent::FontChange) {
        m_fontChanged = true;
        m_layoutValid = false;
        updateGeometry();
        update();
    }
    QFrame::changeEvent(event);
}

void ReceiveView::focusInEvent(QFocusEvent *event)
{
    restartBlinking();
    update();
    QFrame::focusInEvent(event);
}

void ReceiveView::focusOutEvent(QFocusEvent *event)
{
    m_blinkTimer.stop();
    m_cursorShown = false;
    update();
    QFrame::focusOutEvent(event);
}

void ReceiveView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_blinkTimer.timerId())
        return QFrame::timerEvent(event);
    m_cursorShown = !m_cursorShown;
    update(cursorRect());
}
