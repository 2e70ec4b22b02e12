#!/usr/bin/env python3
"""Measures the contrast of every text of the running program's window from a
screenshot, in the places AT-SPI gives for its controls: for each control the
background is the commonest colour of its text area and the text colour the
commonest of the rest (the solid middle of the strokes), and the contrast their
ratio of relative luminance (WCAG 2). Prints one line per control:
    name [role]<TAB>contrast<TAB>text rgb<TAB>background rgb<TAB>area

usage: text_contrast.py PROGRAM_NAME SCREENSHOT.ppm
"""
import collections
import sys

import pyatspi

from atspi_tree import find_application


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:  # P6 width height maxval, with comments
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise SystemExit(path + ": not an 8-bit binary PPM")
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def luminance(rgb):
    def channel(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (channel(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)), reverse=True)
    return (la + 0.05) / (lb + 0.05)


class Picture:
    def __init__(self, path):
        self.width, self.height, self.data = read_ppm(path)

    def colours(self, x, y, w, h):
        counts = collections.Counter()
        for row in range(max(y, 0), min(y + h, self.height)):
            start = (row * self.width + max(x, 0)) * 3
            end = (row * self.width + min(x + w, self.width)) * 3
            line = self.data[start:end]
            counts.update(line[i:i + 3] for i in range(0, len(line), 3))
        return counts


def text_colours(picture, area):
    counts = picture.colours(*area)
    if not counts:
        return None
    background = counts.most_common(1)[0][0]
    # The ink: of the colours that fill more than a stray pixel, the one
    # furthest from the background, which is the strokes' solid middle (their
    # anti-aliased edges lie between the two).
    ink = [c for c, n in counts.items() if n >= 2 and c != background]
    if not ink:
        return None
    return tuple(max(ink, key=lambda c: contrast(c, background))), tuple(background)


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def extents(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return e.x, e.y, e.width, e.height


def text_area(node):
    """The part of the control that holds its text, or None."""
    role = node.getRoleName()
    try:
        x, y, w, h = extents(node)
    except NotImplementedError:
        return None
    if w <= 0 or h <= 0:
        return None
    if role == "label":
        # Without the last pixels, where the next control may begin.
        return x, y, w - 3, h
    if role in ("panel", "grouping", "frame") and node.name and node.parent \
            and node.parent.getRoleName() != "application":
        # A frame's caption: one line on its top edge, after a small indent,
        # about as wide as its characters.
        width = sum(12 if ord(ch) > 0x7f else 6 for ch in node.name)
        return x + 9, y, width, 13
    if role in ("text", "push button", "combo box", "entry"):
        return x + 3, y + 3, w - 6, h - 6
    return None


def main():
    app = find_application(sys.argv[1], 10)
    if app is None:
        print("no application named " + sys.argv[1] + " on the accessibility bus",
              file=sys.stderr)
        return 1
    picture = Picture(sys.argv[2])
    seen = set()
    for node in walk(app):
        area = text_area(node)
        if area is None:
            continue
        name = "%s [%s]" % (node.name or node.parent.name, node.getRoleName())
        if name in seen:
            continue
        seen.add(name)
        colours = text_colours(picture, area)
        if colours is None:
            continue
        text, background = colours
        print("%s\t%.2f\t%s\t%s\t%s" % (name, contrast(text, background), "(%d,%d,%d)" % text,
                                         "(%d,%d,%d)" % background, "%d,%d %dx%d" % area))
    return 0


if __name__ == "__main__":
    sys.exit(main())
