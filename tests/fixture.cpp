// The set-ups the test programs share.
#include "fixture.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QPlainTextEdit>
#include <QTest>

const QString kWarningText =
    QStringLiteral("RS232串口无法打开！可能该串口被其它程序占用或该串口无效，请重新设置通信端口。");

QString openedStatus(int port)
{
    return QStringLiteral("串口COM%1打开成功！ 波特率：9600bps").arg(port);
}

QString failedStatus(int port)
{
    return QStringLiteral("串口COM%1打开失败！").arg(port);
}

QString lostStatus(int port)
{
    return QStringLiteral("串口COM%1已断开！").arg(port);
}

namespace {

PortLocator tableLocator(const std::shared_ptr<QMap<int, QString>> &devices)
{
    return [devices](int portNumber) { return devices->value(portNumber); };
}

} // namespace

FormFixture::FormFixture(const QList<int> &ports)
    : form([&] {
        for (const int port : ports)
            addBoard(port);
        return tableLocator(m_devices);
    }())
    , c(form.controls())
    , state(form.module1())
    , boxes(&form)
{
}

bool FormFixture::start(Stage upTo)
{
    if (m_reached < Loaded) {
        form.load();
        m_reached = Loaded;
    }
    if (upTo >= Shown && m_reached < Shown) {
        if (!showAndActivate(form) || QApplication::focusWidget() != c.fssj0) {
            qWarning("FormFixture: the window is not active with the focus in the send box");
            return false;
        }
        m_reached = Shown;
    }
    if (upTo >= Unlocked && m_reached < Unlocked) {
        if (!unlockSendBox())
            return false;
        m_reached = Unlocked;
    }
    return true;
}

PtyBoard &FormFixture::addBoard(int port)
{
    auto board = std::make_unique<PtyBoard>();
    m_devices->insert(port, board->slavePath());
    m_boards[port] = std::move(board);
    return *m_boards[port];
}

bool FormFixture::unlockSendBox()
{
    QTest::mouseClick(c.fssj0->viewport(), Qt::LeftButton);
    if (c.fssj0->isReadOnly() || QApplication::focusWidget() != c.fssj0) {
        qWarning("FormFixture: a click did not unlock the send box");
        return false;
    }
    return true;
}

void FormFixture::commit(const QString &text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(c.fssj0, &event);
}
