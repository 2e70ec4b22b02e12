#!/usr/bin/env python3
"""Prints what a screen reader finds in a running program through AT-SPI:
one line per accessible object, indented by depth, as
role "name" [text: "..."] [lit / description].

usage: atspi_tree.py PROGRAM_NAME [SECONDS_TO_WAIT]
"""
import sys
import time

import pyatspi


def find_application(name, wait):
    deadline = time.monotonic() + wait
    while True:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == name and app.childCount > 0:
                return app
        if time.monotonic() > deadline:
            return None
        time.sleep(0.2)


def text_of(node):
    try:
        text = node.queryText()
    except NotImplementedError:
        return None
    return text.getText(0, text.characterCount)


def show(node, depth, out):
    role = node.getRoleName()
    line = "  " * depth + role + ' "' + (node.name or "") + '"'
    text = text_of(node)
    if text is not None:
        line += " text=" + repr(text)
    if node.description:
        line += ' description="' + node.description + '"'
    out.append(line)
    for child in node:
        if child is not None:
            show(child, depth + 1, out)


def main():
    name = sys.argv[1]
    wait = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    app = find_application(name, wait)
    if app is None:
        print("no application named " + name + " on the accessibility bus", file=sys.stderr)
        return 1
    out = []
    show(app, 0, out)
    print("\n".join(out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
