// A serial control on a pseudo-terminal board.
#include "line_fixture.h"

bool LineFixture::open(int inputLen)
{
    board.setEcho(false);
    comm.setRThreshold(1);
    comm.setInputLen(inputLen);
    comm.setPortOpen(true);
    return board.isValid() && comm.PortOpen();
}
