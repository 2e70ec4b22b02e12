// Text of the receive box kept as received and split into visual lines at a
// given width; appending costs the same however much text is already held,
// and dropping the oldest text costs what is dropped, not what is kept.
#pragma once

#include "controls/text_blocks.h"

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

class QPaintDevice;

class WrappedText
{
public:
    // Most characters placed on one visual line, so that runs of zero-width or
    // trailing spaces stay cheap to measure and draw.
    static constexpr qsizetype kMaxLineCharacters = 1024;

    WrappedText();
    ~WrappedText();
    WrappedText(const WrappedText &) = delete;
    WrappedText &operator=(const WrappedText &) = delete;

    // Characters kept in each block of the text (a power of two).
    static constexpr qsizetype kBlockCharacters = 64 * 1024;

    // The whole text, or count characters of it from position, put together
    // from the blocks.
    QString text() const { return mid(0, length()); }
    QString mid(qsizetype position, qsizetype count) const;
    QChar at(qsizetype position) const { return QChar(charAt(position)); }
    qsizetype length() const { return qsizetype(m_end - m_start); }

    // Kerning and optional shaping are turned off so that a line is exactly as
    // wide as the sum of its characters. Takes effect with the next relayout().
    void setFont(const QFont &font, const QPaintDevice *device);
    const QFont &font() const { return m_font; }
    int lineHeight() const { return m_lineHeight; }
    qreal ascent() const { return m_ascent; }

    qreal wrapWidth() const { return m_wrapWidth; }
    // Wraps the whole text again at the given width.
    void relayout(qreal wrapWidth);

    void append(QStringView text);
    void clear();
    // Removes at least count characters from the front, up to the next visual
    // line start, and the visual lines they filled. Returns the characters
    // removed; *removedLines receives the number of visual lines removed.
    qsizetype removeFront(qsizetype count, qsizetype *removedLines);
    // The characters removeFront(count) would remove.
    qsizetype frontCut(qsizetype count) const;

    qsizetype lineCount() const { return m_lineStarts.size(); }
    qsizetype lineStart(qsizetype line) const { return positionOf(m_lineStarts.at(line)); }
    // Start of the next visual line, or the end of the text for the last one.
    qsizetype lineEnd(qsizetype line) const;
    // Rightmost caret position of a line: before its line break, or before its
    // last character when the line is wrapped.
    qsizetype lastCaretPosition(qsizetype line) const;
    qsizetype lineAt(qsizetype position) const;

    // Caret positions never split a CR LF pair or a surrogate pair.
    qsizetype nextPosition(qsizetype position) const;
    qsizetype previousPosition(qsizetype position) const;

    qreal xForPosition(qsizetype line, qsizetype position) const;
    qsizetype positionForX(qsizetype line, qreal x) const;
    // Start and end of the run of letters, digits and underscores around
    // position, within its visual line.
    std::pair<qsizetype, qsizetype> wordAt(qsizetype position) const;
    // Whether a line ends with a line break rather than being wrapped.
    bool endsWithBreak(qsizetype line) const;

    // Room the character at position takes on its line: none for line breaks
    // and other control characters, a space's for a tab; a surrogate pair is
    // measured at its second half.
    qreal advanceAt(qsizetype position) const;
    qreal advanceOf(char32_t ucs4) const;
    // Whether the character at position is drawn as a glyph.
    bool isDrawable(qsizetype position) const;

private:
    static constexpr int kBlockShift = 16;
    static_assert(kBlockCharacters == qsizetype(1) << kBlockShift);

    // The character at a position, 0 <= position < length().
    char16_t charAt(qsizetype position) const
    {
        const qint64 at = m_start + position;
        return m_blocks[size_t((at >> kBlockShift) - m_firstBlock)][at & (kBlockCharacters - 1)];
    }
    // Line starts are kept as counted from the first character ever held
    // since the last clear(), modulo 2^32, so that dropping the oldest text
    // leaves the starts after it as they are; positions are counted from the
    // first character held now.
    quint32 lineStartFor(qsizetype position) const { return quint32(m_start + position); }
    qsizetype positionOf(quint32 lineStart) const
    {
        return qsizetype(quint32(lineStart - quint32(m_start)));
    }
    void addLineStart(qsizetype position) { m_lineStarts.append(lineStartFor(position)); }
    qsizetype lastLineStart() const { return positionOf(m_lineStarts.constLast()); }
    void appendCharacter(char16_t c)
    {
        const qsizetype offset = qsizetype(m_end & (kBlockCharacters - 1));
        if (offset == 0)
            startBlock();
        m_writeBlock[offset] = c;
        ++m_end;
    }
    void startBlock();
    void measureAscii();
    void dropFront(qsizetype count);
    // The first visual line starting at or after position.
    QList<quint32>::const_iterator firstLineFrom(qsizetype position) const;
    void wrapCharacter(qsizetype position, char16_t c);
    void startLine();

    // The text in blocks of kBlockCharacters. Characters are counted from the
    // first one held since clear(): those held now are m_start to m_end, and
    // m_blocks.front() is block number m_firstBlock, the one holding m_start.
    std::deque<TextBlock> m_blocks;
    // Blocks dropped from the front, to be used again at the end.
    std::vector<TextBlock> m_spareBlocks;
    qint64 m_firstBlock = 0;
    qint64 m_start = 0;
    qint64 m_end = 0;
    char16_t *m_writeBlock = nullptr; // the last block, while m_end is inside it
    QList<quint32> m_lineStarts {0};
    QFont m_font;
    QFontMetricsF m_metrics;
    int m_lineHeight = 1;
    qreal m_ascent = 0;
    qreal m_spaceWidth = 0;
    qreal m_wrapWidth = -1;

    // Wrapping state of the last visual line.
    qreal m_lineWidth = 0;
    qsizetype m_breakPosition = -1; // after the latest space or wide character
    qreal m_widthAtBreak = 0;

    // Advances of the printable ASCII characters, measured with the font.
    std::array<float, 128> m_asciiWidths {};
    // Advances of Basic Multilingual Plane characters, 256 to a page, filled
    // on first use; -1 when not measured yet.
    mutable std::array<std::unique_ptr<float[]>, 256> m_widthPages;
};
