// Text of the receive box kept as received and split into visual lines at a
// given width; appending costs the same however much text is already held.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <memory>
#include <utility>

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

    const QString &text() const { return m_text; }
    qsizetype length() const { return m_text.size(); }
    qsizetype capacity() const { return m_text.capacity(); }
    void reserve(qsizetype characters) { m_text.reserve(characters); }

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
    qsizetype lineStart(qsizetype line) const { return m_lineStarts.at(line); }
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
    void wrapCharacter(qsizetype position);
    void startLine();

    QString m_text;
    QList<qint32> m_lineStarts {0};
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

    // Advances of Basic Multilingual Plane characters, 256 to a page, filled
    // on first use; -1 when not measured yet.
    mutable std::array<std::unique_ptr<float[]>, 256> m_widthPages;
};
