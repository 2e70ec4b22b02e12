#!/usr/bin/env python3
"""The echoing board on a pseudo-terminal that the shell-driven tests use
(tools/desktop_session.sh, tools/windows/test.sh).

    pty_board.py DIR

Opens a pseudo-terminal, writes its name to DIR/pty, and echoes every byte
that arrives, appending it to DIR/line as well. Commands, one a line, are read
from the FIFO DIR/control:

    flood N     sends N bytes of numbered GBK text lines (DIR/flood holds a
                copy), then writes DIR/flood.done
    stream S    sends lines "line 0000 of the flood" for S seconds, 20 of them
                every 10 ms
    pour        from now on echoes nothing and sends numbered lines as fast as
                the line takes them
    chars [A B] sets the line's XON and XOFF characters to the hexadecimal
                bytes A and B when given, then writes what they are now to
                DIR/chars ("11 13"): what the port's driver reports and is told
    hangup      closes the board's end, as a board unplugged does, and quits

Quits by itself when the process that started it is gone, and on SIGTERM
(which hangs the line up too). One thread only: a read of the board's end is
never under way while something else closes it, so closing it always hangs
the line up.
"""
import os
import pty
import select
import sys
import termios
import time
import tty


def flood_text(size):
    """Numbered lines of ASCII and Chinese (GBK), filled up with dots to exactly size bytes."""
    lines = []
    total = 0
    number = 0
    while True:
        line = f"{number:07d} 串口测试 RS-232 ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789\r\n".encode("gbk")
        if total + len(line) > size:
            break
        lines.append(line)
        total += len(line)
        number += 1
    return b"".join(lines) + b"." * (size - total)


def stream(master, seconds):
    end, number = time.monotonic() + seconds, 0
    while time.monotonic() < end:
        os.write(master, b"".join(b"line %04d of the flood\r\n" % (number + i) for i in range(20)))
        number += 20
        time.sleep(0.01)


POURED = b"".join(b"%08d flood of the line\r\n" % n for n in range(4096))


def main():
    folder = sys.argv[1]
    master, slave = pty.openpty()
    tty.setraw(master)
    tty.setraw(slave)
    control_path = os.path.join(folder, "control")
    os.mkfifo(control_path)
    # Opened read-write so that the FIFO never reports end of file between commands.
    control = os.open(control_path, os.O_RDWR | os.O_NONBLOCK)
    with open(os.path.join(folder, "pty.part"), "w") as f:
        f.write(os.ttyname(slave))
    os.rename(os.path.join(folder, "pty.part"), os.path.join(folder, "pty"))
    parent = os.getppid()
    line = open(os.path.join(folder, "line"), "ab", buffering=0)
    pending = b""
    commands = b""
    pouring = False
    while os.getppid() == parent:
        writers = [master] if pending or pouring else []
        readable, writable, _ = select.select([master, control], writers, [], 0.5)
        if master in readable:
            try:
                data = os.read(master, 4096)
            except OSError:
                data = b""  # the other side is not open (yet)
            if data:
                line.write(data)
                if not pouring:
                    pending += data
        if master in writable:
            try:
                if pouring:
                    os.write(master, POURED)
                else:
                    written = os.write(master, pending[:4096])
                    pending = pending[written:]
            except BlockingIOError:
                pass
            except OSError:
                pending = b""
        if control in readable:
            commands += os.read(control, 4096)
            while b"\n" in commands:
                command, commands = commands.split(b"\n", 1)
                words = command.decode().split()
                if words[:1] == ["flood"]:
                    text = flood_text(int(words[1]))
                    with open(os.path.join(folder, "flood"), "wb") as f:
                        f.write(text)
                    # The board blocks while the other side holds the line back.
                    view = memoryview(text)
                    while view:
                        view = view[os.write(master, view[:65536]):]
                    open(os.path.join(folder, "flood.done"), "w").close()
                elif words[:1] == ["stream"]:
                    stream(master, float(words[1]))
                elif words[:1] == ["pour"]:
                    pouring, pending = True, b""
                    os.set_blocking(master, False)
                elif words[:1] == ["chars"]:
                    attributes = termios.tcgetattr(slave)
                    if len(words) == 3:
                        attributes[6][termios.VSTART] = bytes([int(words[1], 16)])
                        attributes[6][termios.VSTOP] = bytes([int(words[2], 16)])
                        termios.tcsetattr(slave, termios.TCSANOW, attributes)
                        attributes = termios.tcgetattr(slave)
                    now = attributes[6][termios.VSTART] + attributes[6][termios.VSTOP]
                    with open(os.path.join(folder, "chars.part"), "w") as f:
                        f.write(now.hex(" "))
                    os.rename(os.path.join(folder, "chars.part"), os.path.join(folder, "chars"))
                elif words[:1] == ["hangup"]:
                    os.close(master)
                    os.close(slave)
                    return


if __name__ == "__main__":
    main()
