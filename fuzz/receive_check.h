// The receive path run on arbitrary input, with the rules it must keep: used
// by the fuzz target and by the test that replays the inputs it found.
#pragma once

#include <QByteArrayView>
#include <QString>

namespace ReceiveCheck {

// The text code page 936 bytes stand for, worked out byte by byte: ASCII as
// itself, 0x80 as the euro sign, 0xFF as U+F8F5 (as Windows maps it), a lead
// byte and a valid second byte as their character, a lead byte before any
// other byte as one U+FFFD with that byte decoded afresh, and a lead byte at
// the very end as nothing yet. Empty when a character table lookup fails.
QString expectedText(QByteArrayView bytes);

// Runs the input as a series of commands against a fresh receive box:
// pieces of bytes decoded as they come and appended as the program does,
// resizing, clearing, a smaller size limit, resetting the decoder, painting,
// selecting and changing the font. Returns "" when every rule held, otherwise
// a description of the first one broken.
QString run(QByteArrayView input);

} // namespace ReceiveCheck
