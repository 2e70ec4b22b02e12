// The receive path run on arbitrary input, with the rules it must keep: used
// by the fuzz target and by the test that replays the inputs it found.
#pragma once

#include "fuzz/expected_text.h"

#include <QByteArrayView>
#include <QString>

namespace ReceiveCheck {

// Runs the input as a series of commands against a fresh receive box:
// pieces of bytes decoded as they come and appended as the program does,
// resizing, clearing, a smaller size limit, resetting the decoder, painting,
// selecting and changing the font. Returns "" when every rule held, otherwise
// a description of the first one broken.
QString run(QByteArrayView input);

} // namespace ReceiveCheck
