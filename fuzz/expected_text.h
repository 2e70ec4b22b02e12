// What code page 936 bytes stand for, worked out byte by byte without the
// decoder's state: the rule the receive path is held to, on code page 936
// alone (QtCore and the program's code page 936 library).
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

} // namespace ReceiveCheck
