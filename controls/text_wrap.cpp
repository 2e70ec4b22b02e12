#include "controls/text_wrap.h"

#include <QtMath>

#include <algorithm>

namespace {

bool isLineBreak(char16_t c)
{
    return c == u'\n' || c == u'\r';
}

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t';
}

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c < 0xa0);
}

// East Asian wide characters: a line may break before and after each of them.
bool isWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115f) || (c >= 0x2e80 && c <= 0xa4cf && c != 0x303f)
           || (c >= 0xac00 && c <= 0xd7a3) || (c >= 0xf900 && c <= 0xfaff)
           || (c >= 0xfe30 && c <= 0xfe4f) || (c >= 0xff00 && c <= 0xff60)
           || (c >= 0xffe0 && c <= 0xffe6) || (c >= 0x20000 && c <= 0x3fffd);
}

} // namespace

WrappedText::WrappedText()
    : m_metrics(m_font)
{
    measureAscii();
}

WrappedText::~WrappedText() = default;

void WrappedText::setFont(const QFont &font, const QPaintDevice *device)
{
    m_font = font;
    m_font.setKerning(false);
    m_font.setStyleStrategy(QFont::StyleStrategy(m_font.styleStrategy() | QFont::PreferNoShaping));
    m_metrics = QFontMetricsF(m_font, device);
    m_lineHeight = qMax(1, qCeil(m_metrics.height()));
    m_ascent = m_metrics.ascent();
    for (auto &page : m_widthPages)
        page.reset();
    m_spaceWidth = advanceOf(u' ');
    measureAscii();
    m_wrapWidth = -1;
}

void WrappedText::measureAscii()
{
    for (char16_t c = u' '; c < 0x7f; ++c)
        m_asciiWidths[c] = float(advanceOf(c));
}

QString WrappedText::mid(qsizetype position, qsizetype count) const
{
    if (position < 0) { // as QString::mid()
        count += position;
        position = 0;
    }
    position = qMin(position, length());
    count = qBound<qsizetype>(0, count, length() - position);
    if (count == 0)
        return {};
    QString text(count, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (qint64 at = m_start + position; count > 0;) {
        const qsizetype offset = qsizetype(at & (kBlockCharacters - 1));
        const qsizetype piece = qMin(count, kBlockCharacters - offset);
        const char16_t *block = m_blocks[size_t((at >> kBlockShift) - m_firstBlock)].get();
        out = std::copy_n(block + offset, piece, out);
        at += piece;
        count -= piece;
    }
    return text;
}

void WrappedText::relayout(qreal wrapWidth)
{
    m_wrapWidth = wrapWidth;
    m_lineStarts.clear();
    addLineStart(0);
    startLine();
    for (qsizetype p = 0; p < length(); ++p)
        wrapCharacter(p, charAt(p));
}

void WrappedText::append(QStringView text)
{
    for (const QChar character : text) {
        const char16_t c = character.unicode();
        const qsizetype position = length();
        appendCharacter(c);
        // Printable ASCII other than the space, on a line with room for it:
        // the usual character changes nothing but the line's width.
        if (c > u' ' && c < 0x7f) {
            const qreal width = m_asciiWidths[c];
            if (m_lineWidth + width <= m_wrapWidth
                && position - lastLineStart() < kMaxLineCharacters) {
                m_lineWidth += width;
                continue;
            }
        }
        wrapCharacter(position, c);
    }
}

// The block for the next character: it cannot be there yet, as nothing was
// written to it, and the blocks in front of it stay until they are dropped.
// One dropped from the front is used again when there is one.
void WrappedText::startBlock()
{
    if (m_spareBlocks.empty()) {
        m_blocks.push_back(newTextBlock(kBlockCharacters));
    } else {
        m_blocks.push_back(std::move(m_spareBlocks.back()));
        m_spareBlocks.pop_back();
    }
    m_writeBlock = m_blocks.back().get();
}

// Drops count characters from the front. The blocks they emptied are kept
// for the text to come rather than freed: a full box drops text as fast as it
// takes it in, and giving the memory back to the system only to ask for it
// again cost a millisecond and more per block on some machines.
void WrappedText::dropFront(qsizetype count)
{
    m_start += count;
    const qint64 first = m_start >> kBlockShift;
    while (m_firstBlock < first && !m_blocks.empty()) {
        m_spareBlocks.push_back(std::move(m_blocks.front()));
        m_blocks.pop_front();
        ++m_firstBlock;
    }
    if (m_blocks.empty()) {
        m_firstBlock = first;
        m_writeBlock = nullptr;
    }
}

void WrappedText::clear()
{
    m_blocks.clear();
    m_spareBlocks.clear();
    m_firstBlock = m_start = m_end = 0;
    m_writeBlock = nullptr;
    m_lineStarts = QList<quint32> {0};
    startLine();
}

qsizetype WrappedText::frontCut(qsizetype count) const
{
    count = qBound<qsizetype>(0, count, length());
    if (count == 0)
        return 0;
    const auto next = firstLineFrom(count);
    if (next != m_lineStarts.cend())
        return positionOf(*next);
    // The cut falls inside the last visual line: keep pairs whole.
    if (count < length()
        && (QChar::isLowSurrogate(charAt(count))
            || (charAt(count - 1) == u'\r' && charAt(count) == u'\n')))
        ++count;
    return count;
}

QList<quint32>::const_iterator WrappedText::firstLineFrom(qsizetype position) const
{
    const quint32 base = quint32(m_start);
    return std::lower_bound(
        m_lineStarts.cbegin(), m_lineStarts.cend(), position,
        [base](quint32 start, qsizetype at) { return qsizetype(start - base) < at; });
}

qsizetype WrappedText::removeFront(qsizetype count, qsizetype *removedLines)
{
    const qsizetype removed = frontCut(count);
    *removedLines = 0;
    if (removed == 0)
        return 0;
    const auto next = firstLineFrom(removed);
    if (next != m_lineStarts.cend()) {
        const qsizetype lines = next - m_lineStarts.cbegin();
        // Whole blocks are freed; the line starts after the cut keep their
        // values, and cutting a list at its front moves nothing in Qt 6.
        dropFront(removed);
        m_lineStarts.remove(0, lines);
        m_breakPosition -= removed;
        *removedLines = lines;
        return removed;
    }
    // Within the last visual line: wrap the remaining piece of it again.
    *removedLines = m_lineStarts.size() - 1;
    dropFront(removed);
    relayout(m_wrapWidth);
    return removed;
}

qsizetype WrappedText::lineEnd(qsizetype line) const
{
    return line + 1 < m_lineStarts.size() ? lineStart(line + 1) : length();
}

bool WrappedText::endsWithBreak(qsizetype line) const
{
    const qsizetype end = lineEnd(line);
    return end > lineStart(line) && isLineBreak(at(end - 1).unicode());
}

qsizetype WrappedText::lastCaretPosition(qsizetype line) const
{
    const qsizetype start = lineStart(line);
    const qsizetype end = lineEnd(line);
    if (line + 1 == m_lineStarts.size())
        return end;
    if (endsWithBreak(line)) {
        const bool pair = end - 2 >= start && at(end - 2) == u'\r' && at(end - 1) == u'\n';
        return pair ? end - 2 : end - 1;
    }
    return qMax(start, previousPosition(end));
}

qsizetype WrappedText::lineAt(qsizetype position) const
{
    const quint32 base = quint32(m_start);
    const auto after = std::upper_bound(
        m_lineStarts.cbegin(), m_lineStarts.cend(), position,
        [base](qsizetype at, quint32 start) { return at < qsizetype(start - base); });
    return qMax<qsizetype>(0, after - m_lineStarts.cbegin() - 1);
}

qsizetype WrappedText::nextPosition(qsizetype position) const
{
    if (position >= length())
        return length();
    if (position + 1 < length()) {
        const QChar c = at(position);
        const QChar following = at(position + 1);
        if ((c == u'\r' && following == u'\n')
            || (c.isHighSurrogate() && following.isLowSurrogate()))
            return position + 2;
    }
    return position + 1;
}

qsizetype WrappedText::previousPosition(qsizetype position) const
{
    if (position <= 0)
        return 0;
    if (position >= 2) {
        const QChar c = at(position - 1);
        const QChar preceding = at(position - 2);
        if ((c == u'\n' && preceding == u'\r')
            || (c.isLowSurrogate() && preceding.isHighSurrogate()))
            return position - 2;
    }
    return position - 1;
}

qreal WrappedText::xForPosition(qsizetype line, qsizetype position) const
{
    const qsizetype end = qMin(position, lineEnd(line));
    qreal x = 0;
    for (qsizetype p = lineStart(line); p < end; ++p)
        x += advanceAt(p);
    return x;
}

qsizetype WrappedText::positionForX(qsizetype line, qreal x) const
{
    const qsizetype last = lastCaretPosition(line);
    qsizetype position = lineStart(line);
    qreal left = 0;
    while (position < last) {
        const qsizetype next = nextPosition(position);
        qreal width = 0;
        for (qsizetype p = position; p < next; ++p)
            width += advanceAt(p);
        if (x < left + width / 2)
            return position;
        left += width;
        position = next;
    }
    return last;
}

std::pair<qsizetype, qsizetype> WrappedText::wordAt(qsizetype position) const
{
    const qsizetype line = lineAt(position);
    const auto isWordCharacter = [this](qsizetype p) {
        return at(p).isLetterOrNumber() || at(p) == u'_';
    };
    qsizetype start = position;
    qsizetype end = position;
    while (start > lineStart(line) && isWordCharacter(start - 1))
        --start;
    while (end < lineEnd(line) && isWordCharacter(end))
        ++end;
    return {start, end};
}

// Appends the character at position, c (the last one held), to the last
// visual line, starting a new visual line when it does not fit. Only the
// current line's width and latest break opportunity are needed, so the cost
// does not depend on the length of the text or of its logical line.
void WrappedText::wrapCharacter(qsizetype position, char16_t c)
{
    if (isLineBreak(c)) {
        const bool secondOfPair = c == u'\n' && position > 0 && lastLineStart() == position
                                  && charAt(position - 1) == u'\r';
        if (secondOfPair)
            m_lineStarts.last() = lineStartFor(position + 1);
        else
            addLineStart(position + 1);
        startLine();
        return;
    }

    const char16_t high =
        QChar::isLowSurrogate(c) && position > 0 ? charAt(position - 1) : char16_t(0);
    const bool pairEnd = QChar::isHighSurrogate(high);
    const qsizetype charStart = pairEnd ? position - 1 : position;
    const char32_t ucs4 = pairEnd ? QChar::surrogateToUcs4(high, c) : c;
    const bool wide = isWide(ucs4);
    qreal width = 0;
    if (isControl(c))
        width = c == u'\t' ? m_spaceWidth : 0;
    else if (pairEnd || !QChar::isSurrogate(c))
        width = advanceOf(ucs4);
    const qsizetype start = lastLineStart();

    if (charStart - start >= kMaxLineCharacters) {
        addLineStart(charStart);
        startLine();
    } else if (!isSpace(c) && charStart > start && m_lineWidth + width > m_wrapWidth) {
        if (!wide && m_breakPosition > start) {
            addLineStart(m_breakPosition);
            m_lineWidth -= m_widthAtBreak;
            m_breakPosition = -1;
        }
        if (charStart > lastLineStart() && m_lineWidth + width > m_wrapWidth) {
            addLineStart(charStart);
            startLine();
        }
    }

    m_lineWidth += width;
    if (isSpace(c) || wide) {
        m_breakPosition = position + 1;
        m_widthAtBreak = m_lineWidth;
    }
}

void WrappedText::startLine()
{
    m_lineWidth = 0;
    m_breakPosition = -1;
    m_widthAtBreak = 0;
}

qreal WrappedText::advanceAt(qsizetype position) const
{
    const char16_t c = at(position).unicode();
    if (isControl(c))
        return c == u'\t' ? m_spaceWidth : 0;
    if (QChar::isSurrogate(c)) {
        if (QChar::isLowSurrogate(c) && position > 0) {
            const char16_t high = at(position - 1).unicode();
            if (QChar::isHighSurrogate(high))
                return advanceOf(QChar::surrogateToUcs4(high, c));
        }
        return 0;
    }
    return advanceOf(c);
}

qreal WrappedText::advanceOf(char32_t ucs4) const
{
    if (ucs4 > 0xffff)
        return m_metrics.horizontalAdvance(QString::fromUcs4(&ucs4, 1));
    std::unique_ptr<float[]> &page = m_widthPages[ucs4 >> 8];
    if (!page) {
        page.reset(new float[256]);
        std::fill_n(page.get(), 256, -1.0f);
    }
    float &width = page[ucs4 & 0xff];
    if (width < 0)
        width = float(m_metrics.horizontalAdvance(QChar(char16_t(ucs4))));
    return width;
}

bool WrappedText::isDrawable(qsizetype position) const
{
    const QChar c = at(position);
    if (isControl(c.unicode()))
        return false;
    if (c.isHighSurrogate())
        return position + 1 < length() && at(position + 1).isLowSurrogate();
    if (c.isLowSurrogate())
        return position > 0 && at(position - 1).isHighSurrogate();
    return true;
}
