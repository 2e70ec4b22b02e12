// The window's font: Simplified Chinese faces first, Chinese drawn in their
// forms whatever the locale, and the port names whole in the port list. Run
// also with WenQuanYi hidden (FONTCONFIG_FILE=fonts_without_wqy.conf).
#include "fixture.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QImage>
#include <QRawFont>
#include <QTest>
#include <QTextLayout>

namespace {

// The first of the window's faces that is installed.
QString firstInstalledFamily()
{
    const QStringList installed = QFontDatabase::families();
    for (const QString &family : form1FontFamilies()) {
        if (installed.contains(family))
            return family;
    }
    return {};
}

QImage rendered(QWidget *widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32);
    widget->render(&image);
    return image;
}

} // namespace

class TestFonts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void simplifiedChineseFacesComeFirst();
    void chineseIsDrawnInSimplifiedForms();
    void portNamesAreNeverClipped();
};

void TestFonts::initTestCase()
{
    // As the program runs.
    QApplication::setStyle(QStringLiteral("Windows"));
    QApplication::setFont(form1Font());
}

void TestFonts::simplifiedChineseFacesComeFirst()
{
    const QStringList families = form1FontFamilies();
    QCOMPARE(families.mid(0, 3), (QStringList {QStringLiteral("WenQuanYi Micro Hei"),
                                               QStringLiteral("Noto Sans CJK SC"),
                                               QStringLiteral("Source Han Sans SC")}));
    for (const QString &family : families) {
        QVERIFY2(!family.contains(QLatin1String(" JP")) && !family.contains(QLatin1String(" KR"))
                     && !family.contains(QLatin1String(" TC")),
                 qPrintable(family));
    }
    const QFont font = form1Font();
    QCOMPARE(font.families(), families);
    QCOMPARE(font.pixelSize(), 12);
}

void TestFonts::chineseIsDrawnInSimplifiedForms()
{
    const QString expected = firstInstalledFamily();
    if (expected.isEmpty())
        QSKIP("none of the window's Chinese faces is installed");
    QVERIFY(checkForChineseFont());

    // Characters whose Japanese forms differ from the Chinese ones.
    QTextLayout layout(QStringLiteral("串口选择：直骨角"), form1Font());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    QVERIFY(!runs.isEmpty());
    for (const QGlyphRun &run : runs)
        QCOMPARE(run.rawFont().familyName(), expected);
}

void TestFonts::portNamesAreNeverClipped()
{
    FormFixture f(QList<int> {});
    PortList *comdk = f.c.comdk;
    QCOMPARE(comdk->width(), 57);
    QLineEdit *field = comdk->lineEdit();
    f.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.form));
    for (int n = 1; n <= 8; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        comdk->setEditText(name);
        // A text too wide for the field scrolls to keep the end in view.
        field->setCursorPosition(0);
        const QImage fromStart = rendered(field);
        field->setCursorPosition(name.size());
        QCOMPARE(rendered(field), fromStart);
    }
}

QTEST_MAIN(TestFonts)
#include "test_fonts.moc"
