// Draws the window icon into assets/ (icon.png, icon.ico, icon.svg). The lamps
// and the computer are drawn by the program itself (controls/drawings.h).
// icon.ico is the program file's and the installer's icon: the window's own
// 32 x 32, 256-colour picture, and the same drawing at every other size
// Windows asks for (16 to 256 pixels, for 100 % to 300 % and large views).
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QRadialGradient>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>
#include <QVector>
#include <QtMath>

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    return file.commit();
}

QString num(qreal v)
{
    return QString::number(qRound(v * 100) / 100.0, 'g', 10);
}

QString pt(const QPointF &p)
{
    return num(p.x()) + QLatin1Char(',') + num(p.y());
}

QString polygon(const QVector<QPointF> &points)
{
    QString s;
    for (const QPointF &p : points) {
        if (!s.isEmpty())
            s += QLatin1Char(' ');
        s += pt(p);
    }
    return s;
}

// ---------------------------------------------------------------------------
// Window icon
// ---------------------------------------------------------------------------

constexpr int IconSize = 32;
// The sizes Explorer, the taskbar, the title bar and Alt+Tab ask for at the
// usual scales; 32 is the window's own picture.
constexpr int kIcoSizes[] = {16, 20, 24, 32, 40, 48, 64, 96, 256};

// The icon's geometry, shared by the bitmap and the scalable drawing.
struct IconShape
{
    QColor frame {206, 244, 244};
    QRectF tile {2, 2, 28, 28};
    qreal tileRadius = 5.5;
    QColor tileTop {236, 58, 56};
    QColor tileBottom {178, 20, 24};
    QColor tileEdge {120, 14, 18};
    QPointF apex {16, 4.5};
    QPointF baseRight {28, 27};
    QPointF baseLeft {4, 27};
    QColor triangleFill {255, 246, 176};
    QColor ink {40, 30, 24};
    qreal triangleOutline = 2.0;
    QPointF disc {16, 19};
    qreal discRadius = 3.3;
    QColor discLight {255, 226, 96};
    QColor discDark {204, 142, 12};
    qreal strokeRadius = 5.1;
    qreal strokeWidth = 1.5;
    // Angles run counter-clockwise from three o'clock: the stroke starts on the left, a little
    // above the middle, and goes round the left side and the bottom.
    qreal strokeStartDegrees = 168;
    qreal strokeSpanDegrees = 140;

    QPointF onStroke(qreal degrees) const
    {
        const qreal a = qDegreesToRadians(degrees);
        return disc + QPointF(strokeRadius * qCos(a), -strokeRadius * qSin(a));
    }
};

// The icon drawn size pixels square (its shapes are laid out for 32).
QImage renderIcon(int size = IconSize)
{
    const IconShape s;
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(s.frame);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(qreal(size) / IconSize, qreal(size) / IconSize);

    QLinearGradient tile(s.tile.topLeft(), s.tile.bottomLeft());
    tile.setColorAt(0, s.tileTop);
    tile.setColorAt(1, s.tileBottom);
    p.setPen(QPen(s.tileEdge, 1.0));
    p.setBrush(tile);
    p.drawRoundedRect(s.tile.adjusted(0.5, 0.5, -0.5, -0.5), s.tileRadius, s.tileRadius);

    QPen ink(s.ink, s.triangleOutline);
    ink.setJoinStyle(Qt::RoundJoin);
    p.setPen(ink);
    p.setBrush(s.triangleFill);
    p.drawPolygon(QPolygonF({s.apex, s.baseRight, s.baseLeft}));

    QRadialGradient gold(s.disc, s.discRadius, s.disc - QPointF(1.2, 1.2));
    gold.setColorAt(0, s.discLight);
    gold.setColorAt(1, s.discDark);
    p.setPen(QPen(s.discDark.darker(130), 0.6));
    p.setBrush(gold);
    p.drawEllipse(s.disc, s.discRadius, s.discRadius);

    QPen arc(s.ink, s.strokeWidth);
    arc.setCapStyle(Qt::RoundCap);
    p.setPen(arc);
    p.setBrush(Qt::NoBrush);
    const QRectF box(s.disc - QPointF(s.strokeRadius, s.strokeRadius),
                     QSizeF(2 * s.strokeRadius, 2 * s.strokeRadius));
    QPainterPath path;
    path.arcMoveTo(box, s.strokeStartDegrees);
    path.arcTo(box, s.strokeStartDegrees, s.strokeSpanDegrees);
    p.drawPath(path);

    p.end();
    return image;
}

QString iconSvg()
{
    const IconShape s;
    QString svg;
    QTextStream ts(&svg);
    const QPointF from = s.onStroke(s.strokeStartDegrees);
    const QPointF to = s.onStroke(s.strokeStartDegrees + s.strokeSpanDegrees);
    const QPointF focus = s.disc - QPointF(1.2, 1.2);
    const QRectF tile = s.tile.adjusted(0.5, 0.5, -0.5, -0.5);
    ts << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       << "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" << IconSize
       << "\" height=\"" << IconSize << "\" viewBox=\"0 0 " << IconSize << ' ' << IconSize
       << "\">\n"
       << "  <defs>\n"
       << "    <linearGradient id=\"tile\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\""
       << num(s.tile.top()) << "\" x2=\"0\" y2=\"" << num(s.tile.bottom()) << "\">\n"
       << "      <stop offset=\"0\" stop-color=\"" << s.tileTop.name() << "\"/>\n"
       << "      <stop offset=\"1\" stop-color=\"" << s.tileBottom.name() << "\"/>\n"
       << "    </linearGradient>\n"
       << "    <radialGradient id=\"gold\" gradientUnits=\"userSpaceOnUse\" cx=\""
       << num(s.disc.x()) << "\" cy=\"" << num(s.disc.y()) << "\" r=\"" << num(s.discRadius)
       << "\" fx=\"" << num(focus.x()) << "\" fy=\"" << num(focus.y()) << "\">\n"
       << "      <stop offset=\"0\" stop-color=\"" << s.discLight.name() << "\"/>\n"
       << "      <stop offset=\"1\" stop-color=\"" << s.discDark.name() << "\"/>\n"
       << "    </radialGradient>\n"
       << "  </defs>\n"
       << "  <rect width=\"" << IconSize << "\" height=\"" << IconSize << "\" fill=\""
       << s.frame.name() << "\"/>\n"
       << "  <rect x=\"" << num(tile.x()) << "\" y=\"" << num(tile.y()) << "\" width=\""
       << num(tile.width()) << "\" height=\"" << num(tile.height()) << "\" rx=\""
       << num(s.tileRadius) << "\" fill=\"url(#tile)\" stroke=\"" << s.tileEdge.name()
       << "\" stroke-width=\"1\"/>\n"
       << "  <polygon points=\"" << polygon({s.apex, s.baseRight, s.baseLeft}) << "\" fill=\""
       << s.triangleFill.name() << "\" stroke=\"" << s.ink.name() << "\" stroke-width=\""
       << num(s.triangleOutline) << "\" stroke-linejoin=\"round\"/>\n"
       << "  <circle cx=\"" << num(s.disc.x()) << "\" cy=\"" << num(s.disc.y()) << "\" r=\""
       << num(s.discRadius) << "\" fill=\"url(#gold)\" stroke=\"" << s.discDark.darker(130).name()
       << "\" stroke-width=\"0.6\"/>\n"
       << "  <path d=\"M" << pt(from) << " A" << num(s.strokeRadius) << ',' << num(s.strokeRadius)
       << " 0 " << (s.strokeSpanDegrees > 180 ? 1 : 0) << " 0 " << pt(to)
       << "\" fill=\"none\" stroke=\"" << s.ink.name() << "\" stroke-width=\"" << num(s.strokeWidth)
       << "\" stroke-linecap=\"round\"/>\n"
       << "</svg>\n";
    return svg;
}

// Median cut: splits the picture's colours into at most maxColors boxes and takes the mean of
// each. With no more distinct colours than that, every colour is kept exactly.
QVector<QRgb> buildPalette(const QImage &image, int maxColors)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];

    QVector<QRgb> palette;
    if (counts.size() <= maxColors) {
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            palette.append(it.key());
        std::sort(palette.begin(), palette.end());
        return palette;
    }

    struct Entry
    {
        QRgb colour;
        int count;
    };
    QVector<QVector<Entry>> boxes(1);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        boxes[0].append({it.key(), it.value()});

    auto channel = [](QRgb c, int i) { return i == 0 ? qRed(c) : i == 1 ? qGreen(c) : qBlue(c); };
    while (boxes.size() < maxColors) {
        int widest = -1;
        int widestChannel = 0;
        int widestRange = 0;
        for (int b = 0; b < boxes.size(); ++b) {
            if (boxes[b].size() < 2)
                continue;
            for (int i = 0; i < 3; ++i) {
                int lo = 255;
                int hi = 0;
                for (const Entry &e : boxes[b]) {
                    lo = std::min(lo, channel(e.colour, i));
                    hi = std::max(hi, channel(e.colour, i));
                }
                if (hi - lo > widestRange) {
                    widestRange = hi - lo;
                    widest = b;
                    widestChannel = i;
                }
            }
        }
        if (widest < 0)
            break;
        QVector<Entry> &box = boxes[widest];
        std::sort(box.begin(), box.end(), [&](const Entry &a, const Entry &b) {
            return channel(a.colour, widestChannel) < channel(b.colour, widestChannel);
        });
        const int half = box.size() / 2;
        QVector<Entry> upper(box.begin() + half, box.end());
        box.resize(half);
        boxes.append(upper);
    }

    for (const QVector<Entry> &box : boxes) {
        qint64 r = 0;
        qint64 g = 0;
        qint64 b = 0;
        qint64 n = 0;
        for (const Entry &e : box) {
            r += qint64(qRed(e.colour)) * e.count;
            g += qint64(qGreen(e.colour)) * e.count;
            b += qint64(qBlue(e.colour)) * e.count;
            n += e.count;
        }
        palette.append(qRgb(int(r / n), int(g / n), int(b / n)));
    }
    return palette;
}

// One picture of an ICO file: its bytes (a device-independent bitmap of twice
// the height, whose second half is the 1-bit mask, or a PNG file) and what the
// directory says of it.
struct IcoImage
{
    int size;
    int colourCount; // 0: more than 255
    int bitCount;
    QByteArray bytes;
};

// The mask rows: zero everywhere, so every pixel is shown (the icon is fully opaque).
void writeOpaqueMask(QDataStream &ds, int width, int height)
{
    const int andStride = ((width + 31) / 32) * 4;
    for (int i = 0; i < andStride * height; ++i)
        ds << quint8(0);
}

// An 8-bit indexed picture as a bottom-up bitmap with its palette.
IcoImage indexedIcoImage(const QImage &indexed)
{
    const int width = indexed.width();
    const int height = indexed.height();
    const int xorStride = (width + 3) / 4 * 4;
    const int andStride = ((width + 31) / 32) * 4;
    const int paletteSize = 256;
    const quint32 headerSize = 40;
    const quint32 imageSize = xorStride * height + andStride * height;

    QByteArray bytes;
    QDataStream ds(&bytes, QIODevice::WriteOnly);
    ds.setByteOrder(QDataStream::LittleEndian);
    // BITMAPINFOHEADER: the height counts the colour rows and the mask rows.
    ds << headerSize << qint32(width) << qint32(height * 2) << quint16(1) << quint16(8)
       << quint32(0) << imageSize << qint32(0) << qint32(0) << quint32(paletteSize) << quint32(0);
    // Palette as blue, green, red, reserved.
    const QVector<QRgb> table = indexed.colorTable();
    for (int i = 0; i < paletteSize; ++i) {
        const QRgb c = i < table.size() ? table.at(i) : qRgb(0, 0, 0);
        ds << quint8(qBlue(c)) << quint8(qGreen(c)) << quint8(qRed(c)) << quint8(0);
    }
    // Colour rows, bottom row first.
    for (int y = height - 1; y >= 0; --y) {
        const uchar *line = indexed.constScanLine(y);
        for (int x = 0; x < xorStride; ++x)
            ds << quint8(x < width ? line[x] : 0);
    }
    writeOpaqueMask(ds, width, height);
    return {width, 0, 8, bytes};
}

// A picture in 32-bit colour as a bottom-up bitmap, alpha opaque.
IcoImage trueColourIcoImage(const QImage &image)
{
    const int width = image.width();
    const int height = image.height();
    const int andStride = ((width + 31) / 32) * 4;
    const quint32 headerSize = 40;
    const quint32 imageSize = width * 4 * height + andStride * height;

    QByteArray bytes;
    QDataStream ds(&bytes, QIODevice::WriteOnly);
    ds.setByteOrder(QDataStream::LittleEndian);
    ds << headerSize << qint32(width) << qint32(height * 2) << quint16(1) << quint16(32)
       << quint32(0) << imageSize << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const QRgb c = image.pixel(x, y);
            ds << quint8(qBlue(c)) << quint8(qGreen(c)) << quint8(qRed(c)) << quint8(255);
        }
    }
    writeOpaqueMask(ds, width, height);
    return {width, 0, 32, bytes};
}

// The 256-pixel picture as PNG, as Windows Vista and later read it: a bitmap
// of that size would take a quarter of a megabyte.
IcoImage pngIcoImage(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return {image.width(), 0, 32, bytes};
}

// The ICO file: the directory, one entry per picture, then the pictures.
QByteArray icoBytes(const QList<IcoImage> &images)
{
    QByteArray bytes;
    QDataStream ds(&bytes, QIODevice::WriteOnly);
    ds.setByteOrder(QDataStream::LittleEndian);
    // ICONDIR
    ds << quint16(0) << quint16(1) << quint16(images.size());
    quint32 offset = 6 + 16 * quint32(images.size());
    for (const IcoImage &image : images) {
        // ICONDIRENTRY: width and height 0 mean 256; a colour count of 0 means
        // more than 255 colours.
        const quint8 side = image.size >= 256 ? 0 : quint8(image.size);
        ds << side << side << quint8(image.colourCount) << quint8(0);
        ds << quint16(1) << quint16(image.bitCount) << quint32(image.bytes.size()) << offset;
        offset += quint32(image.bytes.size());
    }
    for (const IcoImage &image : images)
        ds.writeRawData(image.bytes.constData(), int(image.bytes.size()));
    Q_ASSERT(bytes.size() == int(offset));
    return bytes;
}

// Every picture of the ICO file, the window's own first.
QList<IcoImage> icoImages(const QImage &indexed)
{
    QList<IcoImage> images {indexedIcoImage(indexed)};
    for (const int size : kIcoSizes) {
        if (size == IconSize)
            continue;
        const QImage drawn = renderIcon(size);
        images.append(size >= 256 ? pngIcoImage(drawn) : trueColourIcoImage(drawn));
    }
    return images;
}

// ---------------------------------------------------------------------------

bool checkImage(const QString &path, const QSize &size, bool mustBeOpaque = false)
{
    const QImage image(path);
    bool ok = !image.isNull() && image.size() == size;
    int seeThrough = 0;
    if (ok && mustBeOpaque) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) != 255)
                    ++seeThrough;
        ok = seeThrough == 0;
    }
    out() << "check: " << path << ": "
          << (image.isNull() ? QStringLiteral("cannot be read")
                             : QStringLiteral("%1x%2").arg(image.width()).arg(image.height()));
    if (mustBeOpaque)
        out() << ", " << seeThrough << " pixels not opaque";
    out() << (ok ? " ok" : " WRONG") << Qt::endl;
    return ok;
}

// Every size Windows asks for is in the ICO file, each picture whole and
// opaque, the 32-pixel one the window's own picture.
bool checkIco(const QString &path, const QImage &windowIcon)
{
    QImageReader reader(path, "ico");
    QList<int> sizes;
    bool ok = reader.imageCount() == int(std::size(kIcoSizes));
    for (int i = 0; i < reader.imageCount() && reader.jumpToImage(i); ++i) {
        const QImage image = reader.read();
        bool opaque = !image.isNull();
        for (int y = 0; opaque && y < image.height(); ++y)
            for (int x = 0; opaque && x < image.width(); ++x)
                opaque = qAlpha(image.pixel(x, y)) == 255;
        ok = ok && opaque && image.width() == image.height();
        sizes.append(image.width());
        if (image.width() == IconSize)
            ok = ok
                 && image.convertToFormat(QImage::Format_RGB32)
                        == windowIcon.convertToFormat(QImage::Format_RGB32);
    }
    std::sort(sizes.begin(), sizes.end());
    ok = ok && std::equal(sizes.cbegin(), sizes.cend(), std::cbegin(kIcoSizes));
    QStringList named;
    for (const int size : sizes)
        named.append(QString::number(size));
    out() << "check: " << path << ": " << named.join(QLatin1Char(' ')) << " pixels"
          << (ok ? " ok" : " WRONG") << Qt::endl;
    return ok;
}

// The scalable icon should look like the bitmap one. Qt reads SVG files only
// through the SVG image plugin, which is used when it is installed.
bool checkScalableIcon(const QString &path, const QImage &icon)
{
    QImageReader reader(path, "svg");
    if (!reader.canRead()) {
        out() << "check: " << path << ": no SVG reader (the Qt SVG image plugin) here, skipped"
              << Qt::endl;
        return true;
    }
    reader.setScaledSize(icon.size());
    const QImage drawn = reader.read().convertToFormat(QImage::Format_RGB32);
    if (drawn.size() != icon.size()) {
        out() << "check: " << path << ": cannot be read: " << reader.errorString() << Qt::endl;
        return false;
    }
    qint64 difference = 0;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            const QRgb a = drawn.pixel(x, y);
            const QRgb b = icon.pixel(x, y);
            difference +=
                qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b));
        }
    }
    const double mean = double(difference) / (icon.width() * icon.height() * 3);
    out() << "check: " << path << ": mean difference from the bitmap " << mean
          << (mean < 4.0 ? " ok" : " WRONG") << Qt::endl;
    return mean < 4.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: make_assets <assets-dir>\n");
        return 2;
    }
    const QDir dir(args.at(1));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(dir.path()));
        return 1;
    }

    bool ok = true;

    const QImage icon = renderIcon();
    const QVector<QRgb> palette = buildPalette(icon, 256);
    const QImage indexed = icon.convertToFormat(QImage::Format_Indexed8, palette);
    out() << "icon: " << palette.size() << " colours in the palette" << Qt::endl;

    const QString pngPath = dir.filePath(QStringLiteral("icon.png"));
    QImageWriter pngWriter(pngPath, "png");
    if (!pngWriter.write(indexed)) {
        out() << "cannot write " << pngPath << ": " << pngWriter.errorString() << Qt::endl;
        ok = false;
    }
    ok = checkImage(pngPath, QSize(IconSize, IconSize), true) && ok;

    const QString icoPath = dir.filePath(QStringLiteral("icon.ico"));
    ok = writeFile(icoPath, icoBytes(icoImages(indexed))) && ok;
    ok = checkIco(icoPath, indexed) && ok;

    const QString iconSvgPath = dir.filePath(QStringLiteral("icon.svg"));
    ok = writeFile(iconSvgPath, iconSvg().toUtf8()) && ok;
    ok = checkScalableIcon(iconSvgPath, icon) && ok;

    out() << (ok ? "all pictures written" : "some pictures are wrong") << Qt::endl;
    return ok ? 0 : 1;
}
