// The receive path on arbitrary input: code page 936 decoding in pieces and
// the receive box, checked against what each step must give.
//
// Input commands, one byte each, some followed by an argument byte:
//   00-3F  n+1 bytes of line data, each character appended on its own
//   40-7F  n+1 bytes of line data, the decoded piece appended at once
//   80-BF  (n+1)*16 bytes of line data, each character appended on its own
//   C0-CF  resize to 1 + argument pixels wide, 20 + 8 * (c & 15) high
//   D0-D7  clear the box
//   D8-DF  limit the box to 1 + 16 * argument characters
//   E0-E7  reset the decoder, as reopening the port does
//   E8-EF  paint the box
//   F0-F7  put the caret at argument/255 of the text, or select all
//   F8-FF  change the font to 6 + argument % 40 pixels
#include "fuzz/receive_check.h"

#include "app/main_window.h"
#include "controls/receive_view.h"
#include "controls/text_wrap.h"
#include "serial/gbk.h"

#include <QImage>
#include <QStringDecoder>

#include <array>

namespace ReceiveCheck {

namespace {

// The text with control characters and everything past ASCII escaped, for
// messages.
QString shown(const QString &text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            escaped += c;
        else
            escaped += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return escaped;
}

QString lines(const ReceiveView &view)
{
    QString joined;
    for (qsizetype line = 0; line < view.visualLineCount(); ++line)
        joined += view.visualLineText(line) + QChar(0x2028);
    return joined;
}

class Run
{
public:
    explicit Run(QByteArrayView input)
        : m_input(input)
    {
        m_view.setFont(form1Font());
        m_view.setMaximumCharacters(4096);
        m_view.resize(60, 40);
    }

    QString go();

private:
    int argument() { return m_pos < m_input.size() ? uchar(m_input[m_pos++]) : 0; }
    void receive(qsizetype length, bool byCharacter);
    QString endSegment();
    QString checkBox();
    QString checkWrapping() const;

    QByteArrayView m_input;
    qsizetype m_pos = 0;
    ReceiveView m_view;
    Gbk::Decoder m_decoder;
    QByteArray m_segmentBytes; // since the decoder was last reset
    QString m_segmentText; // what the decoder gave for them, piece by piece
    QString m_appended; // held after the last command, and appended since
};

QString Run::go()
{
    while (m_pos < m_input.size()) {
        const uchar command = uchar(m_input[m_pos++]);
        QString broken;
        if (command < 0x80) {
            receive((command & 0x3F) + 1, command < 0x40);
        } else if (command < 0xC0) {
            receive(((command & 0x3F) + 1) * 16, true);
        } else if (command < 0xD0) {
            m_view.resize(1 + argument(), 20 + 8 * (command & 15));
        } else if (command < 0xD8) {
            m_view.clear();
            m_appended.clear();
        } else if (command < 0xE0) {
            m_view.setMaximumCharacters(1 + 16 * argument());
        } else if (command < 0xE8) {
            broken = endSegment();
        } else if (command < 0xF0) {
            QImage image(m_view.size(), QImage::Format_RGB32);
            m_view.render(&image);
        } else if (command < 0xF8) {
            const int where = argument();
            if (where == 255)
                m_view.selectAll();
            else
                m_view.setCursorPosition(m_view.length() * where / 255);
        } else {
            QFont font = m_view.font();
            font.setPixelSize(6 + argument() % 40);
            m_view.setFont(font);
        }
        if (broken.isEmpty())
            broken = checkBox();
        if (!broken.isEmpty())
            return broken;
    }
    QString broken = endSegment();
    if (broken.isEmpty())
        broken = checkWrapping();
    return broken;
}

// The next length bytes of line data (fewer at the end of the input), decoded
// and appended the way the program does.
void Run::receive(qsizetype length, bool byCharacter)
{
    const QByteArrayView bytes = m_input.sliced(m_pos, qMin(length, m_input.size() - m_pos));
    m_pos += bytes.size();
    const QString text = m_decoder.decode(bytes);
    m_segmentBytes += bytes;
    m_segmentText += text;
    m_appended += text;
    if (byCharacter) {
        for (qsizetype i = 0; i < text.size(); ++i)
            m_view.appendText(QStringView(text).sliced(i, 1));
    } else {
        m_view.appendText(text);
    }
}

QString Run::endSegment()
{
    const QString whole = Gbk::Decoder().decode(m_segmentBytes);
    const QString expected = expectedText(m_segmentBytes);
    QString broken;
    if (whole != m_segmentText)
        broken = QStringLiteral("decoding in pieces gave \"%1\", decoding at once \"%2\"")
                     .arg(shown(m_segmentText), shown(whole));
    else if (expected != whole)
        broken = QStringLiteral("the decoder gave \"%1\", the bytes stand for \"%2\"")
                     .arg(shown(whole), shown(expected));
    m_decoder.reset();
    m_segmentBytes.clear();
    m_segmentText.clear();
    return broken;
}

// The box holds what it held after the last command and what was appended
// since: all of it, or when that is more than its limit, the latest part,
// less at most an eighth of the limit and one visual line.
QString Run::checkBox()
{
    const QString text = m_view.text();
    const qsizetype limit = m_view.maximumCharacters();
    if (text.size() != m_view.length())
        return QStringLiteral("length() %1 for %2 characters")
            .arg(m_view.length())
            .arg(text.size());
    if (m_appended.size() <= limit && text != m_appended)
        return QStringLiteral("the box holds \"%1\" after \"%2\"")
            .arg(shown(text), shown(m_appended));
    if (text.size() > limit)
        return QStringLiteral("%1 characters held with a limit of %2").arg(text.size()).arg(limit);
    if (!m_appended.endsWith(text))
        return QStringLiteral("the box holds \"%1\", not the end of \"%2\"")
            .arg(shown(text), shown(m_appended));
    const qsizetype least = limit - limit / 8 - WrappedText::kMaxLineCharacters - 2;
    if (text.size() < qMin(m_appended.size(), least))
        return QStringLiteral("only %1 characters held with a limit of %2")
            .arg(text.size())
            .arg(limit);
    if (m_view.cursorPosition() > text.size() || m_view.selectionStart() < 0
        || m_view.selectedText()
               != text.mid(m_view.selectionStart(),
                           m_view.selectionEnd() - m_view.selectionStart()))
        return QStringLiteral("caret %1 or selection %2-%3 outside %4 characters")
            .arg(m_view.cursorPosition())
            .arg(m_view.selectionStart())
            .arg(m_view.selectionEnd())
            .arg(text.size());
    const int first = m_view.firstVisibleLine();
    if (first < 0 || first >= m_view.visualLineCount())
        return QStringLiteral("first visible line %1 of %2")
            .arg(first)
            .arg(m_view.visualLineCount());
    m_appended = text;
    return {};
}

// The visual lines hold the text exactly, and are the lines a box given the
// same text at once would show.
QString Run::checkWrapping() const
{
    QString joined;
    for (qsizetype line = 0; line < m_view.visualLineCount(); ++line)
        joined += m_view.visualLineText(line);
    if (joined != m_view.text())
        return QStringLiteral("the visual lines hold \"%1\", the box \"%2\"")
            .arg(shown(joined), shown(m_view.text()));
    ReceiveView fresh;
    fresh.setFont(m_view.font());
    fresh.setMaximumCharacters(m_view.maximumCharacters());
    fresh.resize(m_view.size());
    fresh.setText(m_view.text());
    if (lines(fresh) != lines(m_view))
        return QStringLiteral("appended piece by piece the lines are \"%1\", at once \"%2\"")
            .arg(shown(lines(m_view)), shown(lines(fresh)));
    return {};
}

} // namespace

QString run(QByteArrayView input)
{
    return Run(input).go();
}

} // namespace ReceiveCheck
