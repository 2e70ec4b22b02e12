#!/usr/bin/env python3
"""Writes dist/windows/THIRD-PARTY-NOTICES.txt from the qtbase source build_qt.sh unpacked.

Run again after changing the Qt version or the Qt features build_qt.sh selects:
    tools/windows/make_notices.py [QTBASE_SOURCE]
(default: ~/.cache/rs232test/qt-6.4.2-mingw64.work/qtbase). The notice names what the
Windows package ships besides the program, under which licence, and reproduces the copyright
lines and licence texts of the third-party code compiled into the Qt DLLs shipped.
"""
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "..", "dist", "windows", "THIRD-PARTY-NOTICES.txt")

# The code built into Qt6Core, Qt6Gui, Qt6Widgets and the two plugins shipped, in the
# configuration of build_qt.sh (bundled copies, no OpenGL, no Vulkan, not macOS).
ATTRIBUTION_DIRS = [
    "src/corelib/tools",
    "src/gui/text",
    "src/3rdparty/zlib",
    "src/3rdparty/double-conversion",
    "src/3rdparty/blake2",
    "src/3rdparty/pcre2",
    "src/3rdparty/freetype",
    "src/3rdparty/harfbuzz-ng",
    "src/3rdparty/libpng",
    "src/3rdparty/md4c",
    "src/3rdparty/easing",
    "src/3rdparty/sha3",
    "src/3rdparty/tinycbor",
    "src/3rdparty/rfc6234",
    "src/3rdparty/md5",
    "src/3rdparty/md4",
    "src/3rdparty/sha1",
    "src/3rdparty/icc",
]

HEADER = """\
rs232test for Windows — third-party software
============================================

rs232test itself is under the MIT License (LICENSE.txt). The package also
contains the following software, each under its own licence.

Qt 6.4.2 (qtbase) — Qt6Core.dll, Qt6Gui.dll, Qt6Widgets.dll,
platforms/qwindows.dll, styles/qwindowsvistastyle.dll
  The Qt Company Ltd and other contributors.
  Licence: GNU Lesser General Public License version 3 (LGPL-3.0-only),
  licenses/LGPL-3.0.txt, which adds permissions to the GNU General Public
  License version 3, licenses/GPL-3.0.txt.
  Source: Debian's source package qt6-base 6.4.2+dfsg-10
  (https://sources.debian.org/src/qt6-base/6.4.2+dfsg-10/), built unchanged
  for x86_64-w64-mingw32 by tools/windows/build_qt.sh of rs232test's source.
  Qt is used as shared libraries: you may replace these DLLs with your own
  build of the same Qt version, and rs232test will use them.

GCC runtime libraries — libstdc++-6.dll, libgcc_s_seh-1.dll
  Free Software Foundation, Inc.
  Licence: GNU General Public License version 3 with the GCC Runtime
  Library Exception version 3.1 (licenses/GPL-3.0.txt,
  licenses/GCC-exception-3.1.txt). From Debian's gcc-mingw-w64 12.

mingw-w64 winpthreads — libwinpthread-1.dll
  Copyright (c) 2011-2016 mingw-w64 project; pthread.h: Copyright (c) 2010
  Lockless Inc. Licence: MIT (expat) and BSD-3-Clause, texts below.
  From Debian's mingw-w64 10.

"""

WINPTHREADS = """\
winpthreads (libwinpthread-1.dll)
---------------------------------
Copyright (c) 2011-2016 mingw-w64 project

Permission is hereby granted, free of charge, to any person obtaining a
copy of this software and associated documentation files (the "Software"),
to deal in the Software without restriction, including without limitation
the rights to use, copy, modify, merge, publish, distribute, sublicense,
and/or sell copies of the Software, and to permit persons to whom the
Software is furnished to do so, subject to the following conditions:

The above copyright notice and this permission notice shall be included in
all copies or substantial portions of the Software.

THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR
IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY,
FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE
AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER
LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING
FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER
DEALINGS IN THE SOFTWARE.

Copyright (c) 2010 Lockless Inc.
All rights reserved.

Redistribution and use in source and binary forms, with or without
modification, are permitted provided that the following conditions are met:

 * Redistributions of source code must retain the above copyright notice,
   this list of conditions and the following disclaimer.
 * Redistributions in binary form must reproduce the above copyright
   notice, this list of conditions and the following disclaimer in the
   documentation and/or other materials provided with the distribution.
 * Neither the name of Lockless Inc. nor the names of its contributors may
   be used to endorse or promote products derived from this software
   without specific prior written permission.

THIS SOFTWARE IS PROVIDED BY THE COPYRIGHT HOLDERS AND CONTRIBUTORS "AS IS"
AN ANY EXPRESS OR IMPLIED WARRANTIES, INCLUDING, BUT NOT LIMITED TO, THE
IMPLIED WARRANTIES OF MERCHANTABILITY AND FITNESS FOR A PARTICULAR PURPOSE
ARE DISCLAIMED. IN NO EVENT SHALL THE COPYRIGHT HOLDER OR CONTRIBUTORS BE
LIABLE FOR ANY DIRECT, INDIRECT, INCIDENTAL, SPECIAL, EXEMPLARY, OR
CONSEQUENTIAL DAMAGES (INCLUDING, BUT NOT LIMITED TO, PROCUREMENT OF
SUBSTITUTE GOODS OR SERVICES; LOSS OF USE, DATA, OR PROFITS; OR BUSINESS
INTERRUPTION) HOWEVER CAUSED AND ON ANY THEORY OF LIABILITY, WHETHER IN
CONTRACT, STRICT LIABILITY, OR TORT (INCLUDING NEGLIGENCE OR OTHERWISE)
ARISING IN ANY WAY OUT OF THE USE OF THIS SOFTWARE, EVEN IF ADVISED OF THE
POSSIBILITY OF SUCH DAMAGE.

"""


def entries(qtbase, folder):
    path = os.path.join(qtbase, folder, "qt_attribution.json")
    with open(path, encoding="utf-8") as f:
        data = json.loads(f.read(), strict=False)
    for entry in data if isinstance(data, list) else [data]:
        yield os.path.join(qtbase, folder), entry


def licence_texts(base, entry):
    files = entry.get("LicenseFiles") or ([entry["LicenseFile"]] if entry.get("LicenseFile") else [])
    for name in files:
        with open(os.path.join(base, name), encoding="utf-8", errors="replace") as f:
            yield f.read().strip("\n")


def main():
    qtbase = sys.argv[1] if len(sys.argv) > 1 else os.path.expanduser(
        "~/.cache/rs232test/qt-6.4.2-mingw64.work/qtbase")
    parts = [HEADER, "Third-party code inside the Qt DLLs\n", "=" * 35 + "\n\n"]
    body = []
    for folder in ATTRIBUTION_DIRS:
        for base, entry in entries(qtbase, folder):
            title = f"{entry['Name']}" + (f" {entry['Version']}" if entry.get("Version") else "")
            lines = [title, "-" * len(title)]
            if entry.get("Homepage"):
                lines.append(f"Home page: {entry['Homepage']}")
            lines.append(f"Licence: {entry.get('License', 'see below')}")
            copyright = entry.get("Copyright", "").strip()
            if copyright:
                lines.append("")
                lines.append(copyright)
            for text in licence_texts(base, entry):
                lines.append("")
                lines.append(text)
            body.append("\n".join(lines) + "\n\n")
    text = "".join(parts) + "".join(body) + "Other software in the package\n" \
        "=============================\n\n" + WINPTHREADS
    text = text.replace("\r\n", "\n").replace("\r", "\n")
    with open(OUT, "w", encoding="utf-8", newline="\n") as f:
        f.write(text.rstrip("\n") + "\n")
    print(f"wrote {os.path.normpath(OUT)} ({len(text)} characters)")


if __name__ == "__main__":
    main()
