// Notices of what arrives in the receive box.
#include "controls/arrival_notices.h"

#include "controls/receive_view.h"
#include "controls/screen_reader_notice.h"

#include <algorithm>

namespace {

// The characters read for a batch: enough to fill a notice after white space
// is folded, without copying a flood.
constexpr qsizetype kReadCharacters = 4 * ArrivalNotices::kMaxToldCharacters;

} // namespace

ArrivalNotices::ArrivalNotices(ReceiveView *view)
    : QObject(view)
    , m_view(view)
    , m_notice(new ScreenReaderNotice(view))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ArrivalNotices::tell);
    QAccessible::installActivationObserver(this);
    accessibilityActiveChanged(QAccessible::isActive());
}

ArrivalNotices::~ArrivalNotices()
{
    QAccessible::removeActivationObserver(this);
}

void ArrivalNotices::accessibilityActiveChanged(bool active)
{
    disconnect(m_listening);
    m_timer.stop();
    m_pending = 0;
    if (active)
        m_listening = connect(m_view, &ReceiveView::textChanged, this, &ArrivalNotices::changed);
}

void ArrivalNotices::changed(qsizetype /*removedFromFront*/, qsizetype appended)
{
    m_pending = qMin(m_pending + appended, m_view->length());
    if (m_pending == 0 || m_timer.isActive())
        return;
    m_timer.start(int(qMax<qint64>(kGatherMs, m_quietUntil.remainingTime())));
}

void ArrivalNotices::tell()
{
    const qsizetype count = qMin(m_pending, m_view->length());
    m_pending = 0;
    const qsizetype start = m_view->length() - count;
    const QString text = noticeText(m_view->mid(start, qMin(count, kReadCharacters)), count);
    if (text.isEmpty())
        return;
    m_notice->say(text);
    m_quietUntil.setRemainingTime(kPauseMs + kMsPerCharacter * text.size());
}

QString ArrivalNotices::noticeText(QStringView arrived, qsizetype arrivedCount)
{
    const auto blank = [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; };
    QString told;
    told.reserve(kMaxToldCharacters + 1);
    bool space = false;
    qsizetype i = 0;
    for (; i < arrived.size() && told.size() < kMaxToldCharacters; ++i) {
        const QChar c = arrived.at(i);
        if (blank(c)) {
            space = !told.isEmpty();
            continue;
        }
        const bool pair = c.isHighSurrogate() && i + 1 < arrived.size();
        if (told.size() + (space ? 1 : 0) + (pair ? 2 : 1) > kMaxToldCharacters)
            break;
        if (space)
            told += u' ';
        space = false;
        told += c;
        if (pair)
            told += arrived.at(++i);
    }
    if (told.isEmpty())
        return told;
    const bool cut =
        arrived.size() < arrivedCount || !std::all_of(arrived.begin() + i, arrived.end(), blank);
    if (cut)
        told += QStringLiteral("……（共%1个字符）").arg(arrivedCount);
    return told;
}
