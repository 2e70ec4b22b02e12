// A serial control on a pseudo-terminal board, for the tests of the control
// alone: QtCore only, no window.
#pragma once

#include "pty_board.h"
#include "serial/serial_port.h"
#include "test_helpers.h"

// A board on COM1 (not echoing) and a serial control pointed at it.
struct LineFixture
{
    PtyBoard board;
    MSComm comm {ptyLocator({{1, board.slavePath()}})};

    // Opens COM1 with OnComm for every character and inputLen characters per
    // Input (0: all waiting); false if it did not open.
    bool open(int inputLen = 1);
};
