// libFuzzer target for the receive path: code page 936 decoding in pieces and
// the receive box; aborts when ReceiveCheck finds a rule broken.
#include "fuzz/receive_check.h"

#include <QApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int * /*argc*/, char *** /*argv*/)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Kept for the whole run; Qt gets arguments of its own, not libFuzzer's.
    static int argc = 1;
    static char name[] = "receive_fuzz";
    static char *argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    if (ReceiveCheck::expectedText("\xD6\xD0") != QStringLiteral("中")) {
        std::fprintf(stderr, "receive_fuzz: no code page 936 table\n");
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString broken =
        ReceiveCheck::run(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!broken.isEmpty()) {
        std::fprintf(stderr, "receive_fuzz: %s\n", qPrintable(broken.left(2000)));
        std::abort();
    }
    return 0;
}
