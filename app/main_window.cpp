// Form1: creation of the controls, wiring of their events, start.
#include "app/main_window.h"

#include "app/control_table.h"
#include "app/form1_builder.h"
#include "app/window_placement.h"
#include "console/keyboard_send.h"
#include "console/receive_display.h"
#include "controls/port_list.h"
#include "controls/receive_view.h"
#include "controls/text_box_events.h"
#include "relay/relay_switch.h"
#include "serial/port_opening.h"
#include "serial/serial_port.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

Form1::Form1(PortLocator locator, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(form1Caption());
    setWindowIcon(QIcon(QStringLiteral(":/icon.png")));
    setFont(form1Font());
    resize(twipsToPixels(kFormWidthTwips), twipsToPixels(kFormHeightTwips));

    m_controls = buildForm1Controls(this, locator);
    m_fssjEvents = new TextBoxEvents(this);
    m_fssjEvents->watch(m_controls.fssj0, 0);
    m_fssjEvents->watch(m_controls.fssj1, 1);
    connectHandlers();
    new WindowCentring(this, [this] { return screenCentre(); });
}

void Form1::connectHandlers()
{
    const Form1Controls &c = m_controls;
    connect(c.comdk, &PortList::activated, this, [this] { portSelection(m_controls, m_module1); });
    connect(c.comdk, &PortList::listAboutToOpen, this, [this] { refreshPortTooltips(m_controls); });
    connect(c.MSComm1, &MSComm::portLost, this, [this] { portLost(m_controls, m_module1); });
    connect(m_fssjEvents, &TextBoxEvents::KeyPress, this, [this](int index, const QString &key) {
        fssjKeyPress(m_controls, m_module1, index, key);
    });
    connect(m_fssjEvents, &TextBoxEvents::Click, this,
            [this](int index) { fssjClick(m_controls, index); });
    connect(c.MSComm1, &MSComm::OnComm, this, [this] { MSComm1OnComm(m_controls); });
    connect(c.Command2, &QPushButton::clicked, this, [this] { Command2Click(m_controls); });
    connect(c.Command1, &QPushButton::clicked, this,
            [this] { Command1Click(m_controls, m_module1); });
}

void Form1::load()
{
    // Placed first, so that a warning shown while loading is centred where
    // the window is going to appear, not over the corner of the screen.
    centreOnScreen();
    startupOpening(m_controls, m_module1);
}

void Form1::showCentred()
{
    centreOnScreen();
    show();
    m_controls.fssj0->setFocus();
}

void Form1::centreOnScreen()
{
    // The frame is not known before the window is shown; WindowCentring
    // places the framed window once it is.
    if (WindowCentring::clientPlacesWindows())
        move(screenCentre() - rect().center());
}

QPoint Form1::screenCentre() const
{
    const QScreen *screen = this->screen();
    return screen ? screen->availableGeometry().center() : pos() + rect().center();
}

void Form1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)
        && !m_undoingMaximize) {
        // Undone from the event loop: the platform is still applying the
        // state it has just reported.
        m_undoingMaximize = true;
        QTimer::singleShot(0, this, &Form1::undoMaximize);
    }
}

void Form1::undoMaximize()
{
    setWindowState(windowState() & ~Qt::WindowMaximized);
    m_undoingMaximize = false;
    // On Wayland the compositor sizes a maximized window, and the client's
    // own size comes back with the configure that ends the state.
    if (!WindowCentring::clientPlacesWindows())
        return;
    if (m_normalGeometry.isValid())
        setGeometry(m_normalGeometry);
    m_sinceUndo.start();
}

void Form1::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    rememberNormalGeometry();
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    rememberNormalGeometry();
}

void Form1::rememberNormalGeometry()
{
    if (m_undoingMaximize || (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    // A window manager may apply the maximized size only after it has
    // reported the state, that is after the state was undone: the size the
    // window had is put back.
    constexpr qint64 kSettleMs = 500;
    if (m_sinceUndo.isValid() && m_sinceUndo.elapsed() < kSettleMs) {
        if (size() != m_normalGeometry.size())
            QTimer::singleShot(0, this, [this] { setGeometry(m_normalGeometry); });
        return;
    }
    m_normalGeometry = geometry();
}
