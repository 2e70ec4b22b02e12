// The set-up the window's test programs share: the whole window over
// pseudo-terminal boards (FormFixture), and the texts the window shows for
// the serial line. Includes what the controls need, and line_fixture.h.
#pragma once

#include "app/main_window.h"
#include "controls/picture_box.h"
#include "controls/port_list.h"
#include "controls/receive_view.h"
#include "form/form1_controls.h"
#include "line_fixture.h"
#include "modal_box_closer.h"
#include "window_helpers.h"

#include <QLineEdit>
#include <QList>
#include <QMap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QString>

#include <map>
#include <memory>

// The warning shown when a port cannot be opened.
extern const QString kWarningText;

// The status line after opening, failing to open and losing COMn.
QString openedStatus(int port);
QString failedStatus(int port);
QString lostStatus(int port);

// Form1 with an echoing PtyBoard on each of the given COM ports (COM1 by
// default; QList<int> {} for none), every other port without a device, and the modal
// boxes it shows answered and recorded. Built, not yet loaded:
//     FormFixture f;
//     QVERIFY(f.start());              // load, show, activate, unlock
//     QTest::keyClick(f.c.fssj0, Qt::Key_A);
//     QVERIFY(f.board().waitForReceived(1));
class FormFixture
{
    std::map<int, std::unique_ptr<PtyBoard>> m_boards;
    std::shared_ptr<QMap<int, QString>> m_devices = std::make_shared<QMap<int, QString>>();
    int m_reached = -1; // the last Stage start() reached

public:
    explicit FormFixture(const QList<int> &ports = {1});

    enum Stage {
        Loaded, // the window's load event has run (start-up opening of COM1)
        Shown, // and it is shown centred and active, focus in the send box
        Unlocked, // and the send box has been clicked, so it takes keys
    };
    // Runs the start-up steps up to the stage, from where an earlier call
    // left off; false (with a warning) when one did not do what it should.
    bool start(Stage upTo = Unlocked);

    // The board on COMn.
    PtyBoard &board(int port = 1) { return *m_boards.at(port); }
    // A fresh board for COMn, replacing (and hanging up) any it had, as when
    // a device comes back under another name.
    PtyBoard &addBoard(int port);
    // Points COMn at a device of the test's choosing: another port's board,
    // or a path with nothing there.
    void setDevice(int port, const QString &device) { m_devices->insert(port, device); }

    // Clicks the send box, as the user does to clear the prompt; false if it
    // did not become editable with the focus.
    bool unlockSendBox();
    // Text committed to the send box by an input method.
    void commit(const QString &text);

    Form1 form;
    const Form1Controls &c;
    const Module1 &state;
    ModalBoxCloser boxes;
};
