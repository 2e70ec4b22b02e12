// Choosing the window's font.
#include "app/form1_font.h"

#include <QFontDatabase>

#include <cstdio>

QStringList form1FontFamilies()
{
    QStringList families;
#ifdef Q_OS_WIN
    // The faces Windows has for Simplified Chinese, the window's own first;
    // under wine the host's faces below follow.
    families << QStringLiteral("SimSun") << QStringLiteral("NSimSun")
             << QStringLiteral("Microsoft YaHei");
#endif
    return families
           + QStringList {
               QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
               QStringLiteral("Source Han Sans SC"),  QStringLiteral("Source Han Sans CN"),
               QStringLiteral("Noto Sans SC"),        QStringLiteral("WenQuanYi Zen Hei"),
               QStringLiteral("AR PL UKai CN"),       QStringLiteral("Droid Sans Fallback")};
}

QFont form1Font()
{
    QFont font;
    font.setFamilies(form1FontFamilies());
    font.setPixelSize(12);
    return font;
}

bool checkForChineseFont()
{
    if (!QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty())
        return true;
    std::fputs("rs232test: no font with Chinese characters is installed, so the window's text "
               "shows as boxes; install one, for example: sudo apt-get install "
               "fonts-wqy-microhei\n",
               stderr);
    return false;
}
