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
    m_wrapWidth = -1;
}

void WrappedText::relayout(qreal wrapWidth)
{
    m_wrapWidth = wrapWidth;
    m_lineStarts.clear();
    m_lineStarts.append(0);
    startLine();
    for (qsizetype p = 0; p < m_text.size(); ++p)
        wrapCharacter(p);
}

void WrappedText::append(QStringView text)
{
    const qsizetype from = m_text.size();
    m_text.append(text);
    for (qsizetype p = from; p < m_text.size(); ++p)
        wrapCharacter(p);
}

void WrappedText::clear()
{
    m_text = QString();
    m_lineStarts = QList<qint32> {0};
    startLine();
}

qsizetype WrappedText::frontCut(qsizetype count) const
{
    count = qBound<qsizetype>(0, count, m_text.size());
    if (count == 0)
        return 0;
    const auto next = std::lower_bound(m_lineStarts.cbegin(), m_lineStarts.cend(), count);
    if (next != m_lineStarts.cend())
        return *next;
    // The cut falls inside the last visual line: keep pairs whole.
    if (count < m_text.size()
        && (m_text.at(count).isLowSurrogate()
            || (m_text.at(count - 1) == u'\r' && m_text.at(count) == u'\n')))
        ++count;
    return count;
}

qsizetype WrappedText::removeFront(qsizetype count, qsizetype *removedLines)
{
    const qsizetype removed = frontCut(count);
    *removedLines = 0;
    if (removed == 0)
        return 0;
    const auto next = std::lower_bound(m_lineStarts.cbegin(), m_lineStarts.cend(), removed);
    if (next != m_lineStarts.cend()) {
        const qsizetype lines = next - m_lineStarts.cbegin();
        // Moved down rather than cut off at the front, so that the space freed
        // is reused by the next appends instead of growing the buffers.
        QChar *text = m_text.data();
        std::copy(text + removed, text + m_text.size(), text);
        m_text.resize(m_text.size() - removed);
        qint32 *starts = m_lineStarts.data();
        for (qsizetype line = lines; line < m_lineStarts.size(); ++line)
            starts[line - lines] = starts[line] - qint32(removed);
        m_lineStarts.resize(m_lineStarts.size() - lines);
        m_breakPosition -= removed;
        *removedLines = lines;
        return removed;
    }
    // Within the last visual line: wrap the remaining piece of it again.
    *removedLines = m_lineStarts.size() - 1;
    m_text.remove(0, removed);
    relayout(m_wrapWidth);
    return removed;
}

qsizetype WrappedText::lineEnd(qsizetype line) const
{
    return line + 1 < m_lineStarts.size() ? m_lineStarts.at(line + 1) : m_text.size();
}

bool WrappedText::endsWithBreak(qsizetype line) const
{
    const qsizetype end = lineEnd(line);
    return end > lineStart(line) && isLineBreak(m_text.at(end - 1).unicode());
}

qsizetype WrappedText::lastCaretPosition(qsizetype line) const
{
    const qsizetype start = lineStart(line);
    const qsizetype end = lineEnd(line);
    if (line + 1 == m_lineStarts.size())
        return end;
    if (endsWithBreak(line)) {
        const bool pair =
            end - 2 >= start && m_text.at(end - 2) == u'\r' && m_text.at(end - 1) == u'\n';
        return pair ? end - 2 : end - 1;
    }
    return qMax(start, previousPosition(end));
}

qsizetype WrappedText::lineAt(qsizetype position) const
{
    const auto after = std::upper_bound(m_lineStarts.cbegin(), m_lineStarts.cend(), position);
    return qMax<qsizetype>(0, after - m_lineStarts.cbegin() - 1);
}

qsizetype WrappedText::nextPosition(qsizetype position) const
{
    if (position >= m_text.size())
        return m_text.size();
    if (position + 1 < m_text.size()) {
        const QChar c = m_text.at(position);
        const QChar following = m_text.at(position + 1);
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
        const QChar c = m_text.at(position - 1);
        const QChar preceding = m_text.at(position - 2);
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
        return m_text.at(p).isLetterOrNumber() || m_text.at(p) == u'_';
    };
    qsizetype start = position;
    qsizetype end = position;
    while (start > lineStart(line) && isWordCharacter(start - 1))
        --start;
    while (end < lineEnd(line) && isWordCharacter(end))
        ++end;
    return {start, end};
}

// Appends the character at position (the last one held) to the last visual
// line, starting a new visual line when it does not fit. Only the current
// line's width and latest break opportunity are needed, so the cost does not
// depend on the length of the text or of its logical line.
void WrappedText::wrapCharacter(qsizetype position)
{
    const char16_t c = m_text.at(position).unicode();
    if (isLineBreak(c)) {
        const bool secondOfPair = c == u'\n' && position > 0 && m_text.at(position - 1) == u'\r'
                                  && m_lineStarts.constLast() == position;
        if (secondOfPair)
            m_lineStarts.last() = qint32(position + 1);
        else
            m_lineStarts.append(qint32(position + 1));
        startLine();
        return;
    }

    const bool pairEnd =
        QChar::isLowSurrogate(c) && position > 0 && m_text.at(position - 1).isHighSurrogate();
    const qsizetype charStart = pairEnd ? position - 1 : position;
    const char32_t ucs4 =
        pairEnd ? QChar::surrogateToUcs4(m_text.at(position - 1).unicode(), c) : c;
    const bool wide = isWide(ucs4);
    const qreal width = advanceAt(position);
    const qsizetype start = m_lineStarts.constLast();

    if (charStart - start >= kMaxLineCharacters) {
        m_lineStarts.append(qint32(charStart));
        startLine();
    } else if (!isSpace(c) && charStart > start && m_lineWidth + width > m_wrapWidth) {
        if (!wide && m_breakPosition > start) {
            m_lineStarts.append(qint32(m_breakPosition));
            m_lineWidth -= m_widthAtBreak;
            m_breakPosition = -1;
        }
        if (charStart > m_lineStarts.constLast() && m_lineWidth + width > m_wrapWidth) {
            m_lineStarts.append(qint32(charStart));
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
    const char16_t c = m_text.at(position).unicode();
    if (isControl(c))
        return c == u'\t' ? m_spaceWidth : 0;
    if (QChar::isSurrogate(c)) {
        if (QChar::isLowSurrogate(c) && position > 0) {
            const char16_t high = m_text.at(position - 1).unicode();
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
    const QChar c = m_text.at(position);
    if (isControl(c.unicode()))
        return false;
    if (c.isHighSurrogate())
        return position + 1 < m_text.size() && m_text.at(position + 1).isLowSurrogate();
    if (c.isLowSurrogate())
        return position > 0 && m_text.at(position - 1).isHighSurrogate();
    return true;
}
