// The window's pictures at the screen's device pixel ratio (run at scale 1,
// 1.5 and 2): drawn for that ratio, not enlarged from a smaller picture, and
// at their stored size.
#include "controls/drawings.h"
#include "fixture.h"

#include <QPainter>
#include <QTest>

#include <cmath>

namespace {

// The scale the test runs at, as the environment sets it.
qreal requestedScale()
{
    bool ok = false;
    const qreal scale = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    return ok ? scale : 1.0;
}

// The drawing painted by itself on the box's background at the given ratio,
// clipped to the box as the box clips it (clipping changes the edges' shading).
QImage painted(const PictureBox &box, QSize pixels, qreal ratio)
{
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(box.palette().color(QPalette::Window));
    QPainter painter(&image);
    painter.setClipRect(QRect(QPoint(0, 0), box.size()));
    findDrawing(box.picture())->paint(painter);
    painter.end();
    image.setDevicePixelRatio(1);
    return image.convertToFormat(QImage::Format_RGB32);
}

// The sum of squared steps between neighbouring pixels, in all three
// colours, per pixel of the picture's logical size. A soft, enlarged picture
// spreads each step over several pixels and scores about the ratio times
// lower than one drawn sharp (here 2 to 3.7 times).
double edgeEnergy(const QImage &image, QSize logical)
{
    double sum = 0;
    auto step = [](QRgb a, QRgb b) {
        const int r = qRed(a) - qRed(b), g = qGreen(a) - qGreen(b), bl = qBlue(a) - qBlue(b);
        return double(r * r + g * g + bl * bl);
    };
    for (int y = 0; y + 1 < image.height(); ++y) {
        for (int x = 0; x + 1 < image.width(); ++x) {
            const QRgb here = image.pixel(x, y);
            sum += step(here, image.pixel(x + 1, y)) + step(here, image.pixel(x, y + 1));
        }
    }
    return sum / (logical.width() * logical.height());
}

// Where two pictures of one size first differ, as "x,y: #shown #expected", or "".
QString firstDifference(const QImage &shown, const QImage &expected)
{
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            if (shown.pixel(x, y) != expected.pixel(x, y))
                return QStringLiteral("%1,%2: %3 %4")
                    .arg(x)
                    .arg(y)
                    .arg(QColor(shown.pixel(x, y)).name(), QColor(expected.pixel(x, y)).name());
        }
    }
    return {};
}

double meanDifference(const QImage &a, const QImage &b)
{
    qint64 sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum +=
                qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    }
    return double(sum) / (3.0 * a.width() * a.height());
}

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    void sharpAtTheScreensRatio_data();
    void sharpAtTheScreensRatio();
};

void TestPictures::sharpAtTheScreensRatio_data()
{
    QTest::addColumn<QString>("control");
    QTest::newRow("computer") << QStringLiteral("Picture1");
    QTest::newRow("green lamp") << QStringLiteral("LEDG");
    QTest::newRow("red lamp") << QStringLiteral("LEDR");
    QTest::newRow("grey lamp") << QStringLiteral("LEDM2");
}

void TestPictures::sharpAtTheScreensRatio()
{
    QFETCH(QString, control);
    FormFixture f(QList<int> {});
    const auto *shownBox = f.form.findChild<PictureBox *>(control);
    QVERIFY(shownBox);
    QVERIFY2(findDrawing(shownBox->picture()), qPrintable(shownBox->picture()));

    // The whole picture: the window's drawing box shows only its empty corner.
    PictureBox box;
    box.setPicture(shownBox->picture());
    box.setBackgroundColor(shownBox->palette().color(QPalette::Window));
    const QSize logical = box.pictureSize();
    QVERIFY(!logical.isEmpty());
    box.resize(logical);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));

    const qreal ratio = box.devicePixelRatioF();
    QCOMPARE(ratio, requestedScale());
    const QImage shown = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(),
             QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio)));

    // Pixel for pixel what the drawing gives when painted at this ratio.
    const QImage expected = painted(box, shown.size(), ratio);
    QCOMPARE(firstDifference(shown, expected), QString());

    // At its stored size: made small again, it is the picture drawn at scale 1.
    const QImage atOne = painted(box, logical, 1);
    const QImage reduced = shown.scaled(logical, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QVERIFY2(meanDifference(reduced, atOne) < 8.0,
             qPrintable(QStringLiteral("mean difference %1").arg(meanDifference(reduced, atOne))));

    // As sharp as the ratio allows: not the scale-1 picture enlarged.
    const double sharp = edgeEnergy(shown, logical);
    const double enlarged = edgeEnergy(
        atOne.scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation), logical);
    const double plain = edgeEnergy(atOne, logical);
    qInfo("%s at %.2f: edge energy %.0f, the scale-1 picture %.0f, enlarged %.0f",
          qPrintable(control), ratio, sharp, plain, enlarged);
    if (ratio > 1)
        QVERIFY2(sharp > 1.5 * enlarged, "no sharper than the scale-1 picture enlarged");
}

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
