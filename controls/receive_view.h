// The receive box: a read-only multi-line text view for text that arrives one
// character at a time; appending costs the same however much it already holds.
#pragma once

#include "controls/text_wrap.h"

#include <QBasicTimer>
#include <QFrame>
#include <QString>
#include <QStringView>

class QMenu;
class QPainter;
class QRectF;

class ReceiveView : public QFrame
{
    Q_OBJECT

public:
    // Most characters held, hours of a 9600-baud line; past it the oldest
    // eighth of the text is dropped, ending at a line start.
    static constexpr qsizetype kMaxCharacters = 16 * 1024 * 1024;

    explicit ReceiveView(QWidget *parent = nullptr);
    ~ReceiveView() override;

    // The characters exactly as appended, line breaks included. CR LF, a lone
    // CR and a lone LF each start one new line on the screen.
    QString text() const { return m_lines.text(); }
    // count characters from position: text().mid(position, count), without
    // putting the whole text together first.
    QString mid(qsizetype position, qsizetype count) const { return m_lines.mid(position, count); }
    void setText(const QString &text);
    // Adds text at the end; neither the caret nor the view moves.
    void appendText(QStringView text);
    qsizetype length() const { return m_lines.length(); }

    // Most characters held before the oldest are dropped, kMaxCharacters
    // unless set otherwise.
    void setMaximumCharacters(qsizetype count);
    qsizetype maximumCharacters() const { return m_maximumCharacters; }

    // Lines as shown: wrapped at the right edge, after the last space that
    // fits or else before the first character that does not.
    qsizetype visualLineCount() const;
    QString visualLineText(qsizetype line) const; // including its line break
    qreal wrapWidth() const;
    int firstVisibleLine() const;
    int visibleLineCount() const; // lines that fit whole

    qsizetype cursorPosition() const { return m_cursor; }
    // Moves the caret, clearing the selection; the view follows it.
    void setCursorPosition(qsizetype position);
    bool hasSelectedText() const { return m_anchor != m_cursor; }
    QString selectedText() const;
    qsizetype selectionStart() const { return qMin(m_anchor, m_cursor); }
    qsizetype selectionEnd() const { return qMax(m_anchor, m_cursor); }

    // Copy and Select All; the caller owns the menu.
    QMenu *createStandardContextMenu();

    QSize sizeHint() const override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

signals:
    // Before characters are dropped from the start (all of them on clear()),
    // while they can still be read.
    void textAboutToBeRemoved(qsizetype fromFront);
    // After a change: removedFromFront characters dropped from the start (all
    // of them on clear()), at once; or appended characters added at the end,
    // told together once the event-loop pass that added them is done (or
    // just before a removal). Emitted only while something is connected.
    void textChanged(qsizetype removedFromFront, qsizetype appended);

public slots:
    void clear();
    void copy() const;
    void selectAll();

protected:
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;
    bool event(QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    friend class ReceiveViewAccessible; // reads the layout for screen readers

    // Wraps again and measures the view when the size, the frame or the font
    // has changed since the last time; otherwise costs next to nothing, as
    // it runs for every appended character.
    void ensureLayout() const
    {
        if (!m_layoutValid || m_layoutSize != size())
            updateLayout();
    }
    void updateLayout() const;
    void requestRepaint();
    QRect textRect() const;
    qsizetype linesInView() const; // including a partly visible last one
    void dropOldestText();
    void tellAppended();
    bool textChangedHasReceivers() const
    {
        return m_receiversChanged ? lookUpTextChangedReceivers() : m_textChangedConnected;
    }
    bool lookUpTextChangedReceivers() const;
    void moveCursor(qsizetype position, bool keepAnchor);
    void ensureCursorVisible();
    void scrollTo(qsizetype firstLine);
    qsizetype positionAt(const QPoint &point) const;
    QRect cursorRect() const;
    void drawLine(QPainter &painter, qsizetype line, const QRectF &rect) const;
    void restartBlinking();

    mutable WrappedText m_lines;
    mutable bool m_fontChanged = true;
    mutable qsizetype m_firstLine = 0;
    // Measured by updateLayout(), so that an append asks for no geometry.
    mutable bool m_layoutValid = false;
    mutable QSize m_layoutSize;
    mutable QRect m_textArea;
    mutable qsizetype m_linesInView = 1;
    bool m_repaintRequested = false; // an update() not yet painted
    qsizetype m_maximumCharacters = kMaxCharacters;
    qsizetype m_cursor = 0;
    qsizetype m_anchor = 0;
    qreal m_goalX = -1; // kept while moving up and down
    QBasicTimer m_blinkTimer;
    bool m_cursorShown = false;
    bool m_selectingWithMouse = false;
    qsizetype m_appendedUntold = 0; // appended since the last textChanged
    bool m_appendedNoticeQueued = false;
    mutable bool m_receiversChanged = true; // textChanged's receivers to look up
    mutable bool m_textChangedConnected = false;
};
