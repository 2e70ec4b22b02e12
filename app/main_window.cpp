// Form1: creation of the controls, wiring of their events, start.
#include "app/main_window.h"

#include "app/control_table.h"
#include "app/form1_builder.h"
#include "console/keyboard_send.h"
#include "console/receive_display.h"
#include "controls/maximize_refusal.h"
#include "controls/port_list.h"
#include "controls/receive_view.h"
#include "controls/text_box_events.h"
#include "controls/window_centring.h"
#include "relay/relay_switch.h"
#include "serial/opening/port_opening.h"
#include "serial/serial_port.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

Form1::Form1(const PortLocator &locator, QWidget *parent)
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
    new MaximizeRefusal(this);
}

Form1::~Form1()
{
    // The controls are destroyed in the order of the window's child list, in
    // which the serial control comes last: closed here, it notifies nobody
    // and holds no lock while the others go.
    m_controls.MSComm1->setPortOpen(false);
}

void Form1::connectHandlers()
{
    const Form1Controls &c = m_controls;
    connect(c.comdk, &PortList::activated, this, [this] { portSelection(m_controls, m_module1); });
    connect(c.comdk, &PortList::listAboutToOpen, this, [this] { refreshPortTooltips(m_controls); });
    connect(c.comdk, &PortList::toolTipAboutToShow, this,
            [this] { refreshPortTooltips(m_controls); });
    connect(c.MSComm1, &MSComm::portLost, this, [this] { portLost(m_controls, m_module1); });
    connect(c.MSComm1, &MSComm::portReturned, this,
            [this] { portReturned(m_controls, m_module1); });
    connect(m_fssjEvents, &TextBoxEvents::KeyPress, this, [this](int index, const QString &key) {
        fssjKeyPress(m_controls, m_module1, index, key);
    });
    connect(m_fssjEvents, &TextBoxEvents::Click, this,
            [this](int index) { fssjClick(m_controls, index); });
    // Called directly: a notification per received character is the hot path.
    c.MSComm1->setOnCommHandler([this] { MSComm1OnComm(m_controls); });
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
