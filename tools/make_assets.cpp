// Draws the program's pictures (indicator lamps, computer drawing, window icon) into assets/.
#include <QByteArray>
#include <QColor>
#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QRadialGradient>
#include <QSaveFile>
#include <QSvgRenderer>
#include <QTextStream>
#include <QVector>
#include <QtMath>

#include <algorithm>
#include <cstdio>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QColor mix(const QColor &a, const QColor &b, qreal t)
{
    return QColor::fromRgbF(
        a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
        a.blueF() + (b.blueF() - a.blueF()) * t, a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    return file.commit();
}

// ---------------------------------------------------------------------------
// Indicator lamps
// ---------------------------------------------------------------------------

constexpr int LampImageWidth = 17;
constexpr int LampImageHeight = 16;
const QColor LampBackground(192, 192, 192);

// Renders one round glossy lamp; all measures are given for the 17x16 picture and multiplied
// by scale, so a scale of 2 gives the same picture for high-density screens.
QImage renderLamp(const QColor &face, int scale)
{
    QImage image(LampImageWidth * scale, LampImageHeight * scale, QImage::Format_RGB32);
    image.fill(LampBackground);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    p.setPen(Qt::NoPen);

    const QPointF centre(7.5, 7.5);
    const qreal outerRadius = 7.0;
    const qreal faceRadius = 5.7;

    // Rim: a dark ring, lightest at the upper left and darkest at the lower right.
    QLinearGradient rim(QPointF(2.0, 2.0), QPointF(13.0, 13.0));
    rim.setColorAt(0.0, mix(face, QColor(96, 96, 96), 0.55));
    rim.setColorAt(0.5, mix(face, QColor(40, 40, 40), 0.70));
    rim.setColorAt(1.0, mix(face, QColor(8, 8, 8), 0.88));
    p.setBrush(rim);
    p.drawEllipse(centre, outerRadius, outerRadius);

    // Face: the lamp colour, a little brighter towards the light.
    QRadialGradient faceGradient(QPointF(6.6, 6.6), faceRadius * 1.15, QPointF(5.6, 5.6));
    faceGradient.setColorAt(0.0, mix(face, Qt::white, 0.18));
    faceGradient.setColorAt(0.45, face);
    faceGradient.setColorAt(0.85, face);
    faceGradient.setColorAt(1.0, mix(face, Qt::black, 0.22));
    p.setBrush(faceGradient);
    p.drawEllipse(centre, faceRadius, faceRadius);

    // Pale highlight at the upper left.
    p.save();
    p.translate(5.4, 5.1);
    p.rotate(-45.0);
    QRadialGradient highlight(QPointF(0, 0), 2.6);
    highlight.setColorAt(0.0, QColor(255, 255, 255, 235));
    highlight.setColorAt(0.55, QColor(255, 255, 255, 150));
    highlight.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setBrush(highlight);
    p.scale(1.0, 0.72);
    p.drawEllipse(QPointF(0, 0), 2.6, 2.6);
    p.restore();

    // Small reflection at the lower right, just inside the rim.
    QRadialGradient reflection(QPointF(10.4, 10.4), 1.5);
    reflection.setColorAt(0.0, withAlpha(mix(face, Qt::white, 0.75), 220));
    reflection.setColorAt(1.0, withAlpha(mix(face, Qt::white, 0.75), 0));
    p.setBrush(reflection);
    p.drawEllipse(QPointF(10.4, 10.4), 1.5, 1.5);

    p.end();
    return image;
}

bool writeJpeg(const QImage &image, const QString &path)
{
    QImageWriter writer(path, "jpeg");
    writer.setQuality(95);
    if (!writer.write(image)) {
        out() << "cannot write " << path << ": " << writer.errorString() << Qt::endl;
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Computer drawing
// ---------------------------------------------------------------------------

constexpr int ComputerWidth = 439;
constexpr int ComputerHeight = 338;
// The program shows only this corner of the drawing, where nothing may be drawn.
const QRect ComputerHiddenCorner(0, 0, 89, 65);
// The drawing keeps well clear of a larger corner, too.
const QRect ComputerClearCorner(0, 0, 110, 90);

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

// The top of the keyboard seen slightly from above: (u, v) in [0, 1] runs from its back left
// corner to its front right corner.
struct KeyboardTop
{
    QPointF backLeft {80, 236};
    QPointF backRight {300, 236};
    QPointF frontLeft {56, 312};
    QPointF frontRight {316, 312};

    QPointF at(qreal u, qreal v) const
    {
        const QPointF back = backLeft + (backRight - backLeft) * u;
        const QPointF front = frontLeft + (frontRight - frontLeft) * u;
        return back + (front - back) * v;
    }

    QVector<QPointF> quad(qreal u0, qreal v0, qreal u1, qreal v1) const
    {
        return {at(u0, v0), at(u1, v0), at(u1, v1), at(u0, v1)};
    }
};

QString keyboardKeys(const KeyboardTop &top)
{
    // Key widths in key units, row by row, for the main block; a numeric block follows.
    const QVector<QVector<qreal>> rows = {
        {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2},
        {1.5, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1.5},
        {1.75, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2.25},
        {2.25, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2.75},
        {1.5, 1, 1.5, 7, 1.5, 1, 1.5},
    };
    const qreal mainUnits = 15.0;
    const qreal padUnits = 4.0;
    const qreal gapUnits = 0.7;
    const qreal uStart = 0.035;
    const qreal uEnd = 0.965;
    const qreal vStart = 0.14;
    const qreal vEnd = 0.94;
    const qreal unit = (uEnd - uStart) / (mainUnits + gapUnits + padUnits);
    const qreal rowHeight = (vEnd - vStart) / rows.size();
    const qreal uGap = unit * 0.09;
    const qreal vGap = rowHeight * 0.09;

    QString s;
    QTextStream ts(&s);
    auto key = [&](qreal u0, qreal u1, qreal v0, qreal v1) {
        u0 += uGap / 2;
        u1 -= uGap / 2;
        v0 += vGap / 2;
        v1 -= vGap / 2;
        const qreal inset = unit * 0.12;
        const qreal capDepth = (v1 - v0) * 0.22;
        ts << "    <polygon points=\"" << polygon(top.quad(u0, v0, u1, v1))
           << "\" fill=\"#9c9c9c\" stroke=\"#7c7c7c\" stroke-width=\"0.6\" "
              "stroke-linejoin=\"round\"/>\n";
        ts << "    <polygon points=\""
           << polygon(top.quad(u0 + inset, v0 + vGap * 0.2, u1 - inset, v1 - capDepth))
           << "\" fill=\"url(#keyCap)\" stroke-linejoin=\"round\"/>\n";
    };

    for (int r = 0; r < rows.size(); ++r) {
        const qreal v0 = vStart + r * rowHeight;
        const qreal v1 = v0 + rowHeight;
        qreal u = uStart;
        for (qreal width : rows.at(r)) {
            key(u, u + width * unit, v0, v1);
            u += width * unit;
        }
        const qreal padStart = uStart + (mainUnits + gapUnits) * unit;
        for (int c = 0; c < int(padUnits); ++c)
            key(padStart + c * unit, padStart + (c + 1) * unit, v0, v1);
    }

    // Three small status lamps above the numeric block.
    for (int i = 0; i < 3; ++i) {
        const qreal u = uStart + (mainUnits + gapUnits + 0.6 + i * 1.4) * unit;
        ts << "    <ellipse cx=\"" << num(top.at(u, 0.07).x()) << "\" cy=\""
           << num(top.at(u, 0.07).y()) << "\" rx=\"1.5\" ry=\"1\" fill=\""
           << (i == 0 ? "#3ad13a" : "#6f8f6f") << "\" stroke=\"#505050\" stroke-width=\"0.4\"/>\n";
    }
    return s;
}

QString computerSvg()
{
    const KeyboardTop top;
    const qreal frontDepth = 8.0;
    const QPointF down(0, frontDepth);

    QString svg;
    QTextStream ts(&svg);
    ts << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
          "<!-- A desktop personal computer; the top left corner is left empty on purpose. -->\n"
          "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\""
       << ComputerWidth << "\" height=\"" << ComputerHeight << "\" viewBox=\"0 0 " << ComputerWidth
       << ' ' << ComputerHeight << "\">\n";

    ts << R"svg(  <defs>
    <linearGradient id="bezel" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#efefef"/>
      <stop offset="1" stop-color="#bdbdbd"/>
    </linearGradient>
    <linearGradient id="recess" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#5e5e5e"/>
      <stop offset="1" stop-color="#a4a4a4"/>
    </linearGradient>
    <linearGradient id="screen" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="#3f83f4"/>
      <stop offset="0.55" stop-color="#1a4fc4"/>
      <stop offset="1" stop-color="#0b2c8c"/>
    </linearGradient>
    <linearGradient id="glare" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="#ffffff" stop-opacity="0.30"/>
      <stop offset="1" stop-color="#ffffff" stop-opacity="0.04"/>
    </linearGradient>
    <linearGradient id="side" x1="0" y1="0" x2="1" y2="0">
      <stop offset="0" stop-color="#b4b4b4"/>
      <stop offset="1" stop-color="#8e8e8e"/>
    </linearGradient>
    <linearGradient id="caseFront" x1="0" y1="0" x2="1" y2="0">
      <stop offset="0" stop-color="#eeeeee"/>
      <stop offset="1" stop-color="#c8c8c8"/>
    </linearGradient>
    <linearGradient id="stand" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#9a9a9a"/>
      <stop offset="1" stop-color="#c8c8c8"/>
    </linearGradient>
    <linearGradient id="standBase" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#e2e2e2"/>
      <stop offset="1" stop-color="#a2a2a2"/>
    </linearGradient>
    <linearGradient id="keyboardTop" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#cfcfcf"/>
      <stop offset="1" stop-color="#e4e4e4"/>
    </linearGradient>
    <linearGradient id="keyCap" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#fbfbfb"/>
      <stop offset="1" stop-color="#e0e0e0"/>
    </linearGradient>
    <linearGradient id="mouse" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="#f6f6f6"/>
      <stop offset="1" stop-color="#b6b6b6"/>
    </linearGradient>
    <linearGradient id="button" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#f4f4f4"/>
      <stop offset="1" stop-color="#a8a8a8"/>
    </linearGradient>
    <radialGradient id="greenLamp" cx="0.5" cy="0.5" r="0.5" fx="0.35" fy="0.35">
      <stop offset="0" stop-color="#d6ffc8"/>
      <stop offset="0.35" stop-color="#3fe03a"/>
      <stop offset="1" stop-color="#0c7a0a"/>
    </radialGradient>
  </defs>
)svg";

    // Cables first, so that what they plug into covers their ends.
    ts << R"svg(  <g fill="none" stroke="#5a5a5a" stroke-width="2" stroke-linecap="round">
    <path d="M341,296 C339,282 348,276 362,270"/>
    <path d="M268,236 C274,222 300,218 326,228 C338,232 348,240 360,246"/>
  </g>
)svg";

    // Monitor: a deep case, its front with the screen and the lamp, and its stand.
    ts << R"svg(  <g stroke="#6e6e6e" stroke-width="1.5" stroke-linejoin="round">
    <path d="M212,186 L236,186 L242,204 L206,204 Z" fill="url(#stand)"/>
    <ellipse cx="224" cy="207" rx="56" ry="9" fill="url(#standBase)"/>
    <polygon points="322,24 342,36 342,164 322,176" fill="url(#side)"/>
    <rect x="124" y="14" width="200" height="172" rx="11" fill="url(#bezel)"/>
    <rect x="138" y="26" width="172" height="136" rx="7" fill="url(#recess)" stroke-width="1"/>
  </g>
  <rect x="144" y="32" width="160" height="124" rx="5" fill="url(#screen)"/>
  <path d="M149,36 L262,36 C226,58 186,92 149,122 Z" fill="url(#glare)"/>
  <g stroke="#a9a9a9" stroke-width="1.2" stroke-linecap="round">
    <line x1="142" y1="171" x2="172" y2="171"/>
    <line x1="142" y1="175" x2="172" y2="175"/>
    <line x1="142" y1="179" x2="172" y2="179"/>
  </g>
  <rect x="280" y="169" width="14" height="9" rx="2" fill="url(#button)" stroke="#7a7a7a" stroke-width="0.8"/>
  <circle cx="306" cy="173.5" r="3.8" fill="url(#greenLamp)" stroke="#2e4a2e" stroke-width="0.8"/>
)svg";

    // System unit: a tower standing to the right, seen a little from the left.
    ts << R"svg(  <g stroke="#6e6e6e" stroke-width="1.5" stroke-linejoin="round">
    <polygon points="356,70 370,58 370,300 356,292" fill="url(#side)"/>
    <rect x="370" y="58" width="60" height="242" rx="3" fill="url(#caseFront)"/>
  </g>
  <g stroke="#8a8a8a" stroke-width="1">
    <rect x="377" y="72" width="46" height="16" rx="1.5" fill="#dadada"/>
    <rect x="377" y="94" width="46" height="16" rx="1.5" fill="#dadada"/>
    <rect x="412" y="82" width="7" height="3" rx="1" fill="#bcbcbc"/>
    <rect x="412" y="104" width="7" height="3" rx="1" fill="#bcbcbc"/>
    <rect x="384" y="122" width="32" height="11" rx="1.5" fill="#dcdcdc"/>
  </g>
  <g stroke="#9c9c9c" stroke-width="1" stroke-linecap="round">
    <line x1="382" y1="80" x2="406" y2="80"/>
    <line x1="382" y1="102" x2="406" y2="102"/>
  </g>
  <line x1="388" y1="127" x2="412" y2="127" stroke="#3c3c3c" stroke-width="1.6" stroke-linecap="round"/>
  <circle cx="400" cy="244" r="8" fill="url(#button)" stroke="#6e6e6e" stroke-width="1.2"/>
  <circle cx="400" cy="244" r="4" fill="none" stroke="#8c8c8c" stroke-width="1"/>
  <rect x="385" y="263" width="8" height="3" rx="1" fill="#36c832" stroke="#3e5a3e" stroke-width="0.5"/>
  <rect x="407" y="263" width="8" height="3" rx="1" fill="#e8a630" stroke="#6a5530" stroke-width="0.5"/>
  <g stroke="#a4a4a4" stroke-width="1.2" stroke-linecap="round">
    <line x1="380" y1="278" x2="420" y2="278"/>
    <line x1="380" y1="283" x2="420" y2="283"/>
    <line x1="380" y1="288" x2="420" y2="288"/>
  </g>
)svg";

    // Keyboard: its front edge, its top and the keys.
    ts << "  <g stroke=\"#6e6e6e\" stroke-width=\"1.5\" stroke-linejoin=\"round\">\n";
    ts << "    <polygon points=\""
       << polygon({top.frontLeft, top.frontRight, top.frontRight + down - QPointF(2, 0),
                   top.frontLeft + down + QPointF(2, 0)})
       << "\" fill=\"#a6a6a6\"/>\n";
    ts << "    <polygon points=\""
       << polygon({top.backLeft, top.backRight, top.frontRight, top.frontLeft})
       << "\" fill=\"url(#keyboardTop)\"/>\n";
    ts << "  </g>\n";
    ts << "  <g>\n" << keyboardKeys(top) << "  </g>\n";

    // Mouse, lying to the right of the keyboard.
    ts << R"svg(  <g stroke="#6e6e6e" stroke-width="1.5" stroke-linejoin="round">
    <path d="M341,296 C355,296 361,308 359,320 C357,330 350,334 341,334 C332,334 325,330 323,320 C321,308 327,296 341,296 Z" fill="url(#mouse)"/>
  </g>
  <g fill="none" stroke="#8a8a8a" stroke-width="1" stroke-linecap="round">
    <path d="M341,297 L341,310"/>
    <path d="M324.5,309 Q341,314 357.5,309"/>
  </g>
)svg";

    ts << "</svg>\n";
    return svg;
}

// Renders the drawing as the program would and makes sure its hidden corner stays empty.
bool checkComputerCorner(const QString &path)
{
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        out() << "check: " << path << " is not a valid SVG" << Qt::endl;
        return false;
    }
    if (renderer.defaultSize() != QSize(ComputerWidth, ComputerHeight)) {
        out() << "check: " << path << " has size " << renderer.defaultSize().width() << 'x'
              << renderer.defaultSize().height() << Qt::endl;
        return false;
    }
    QImage image(ComputerWidth, ComputerHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    renderer.render(&p);
    p.end();

    auto paintedIn = [&image](const QRect &rect) {
        int count = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                if (qAlpha(image.pixel(x, y)) != 0)
                    ++count;
        return count;
    };
    int painted = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                ++painted;

    const int hidden = paintedIn(ComputerHiddenCorner);
    const int clear = paintedIn(ComputerClearCorner);
    out() << "check: " << path << ": " << painted << " of " << image.width() * image.height()
          << " pixels painted; " << hidden << " painted in the hidden corner "
          << ComputerHiddenCorner.width() << 'x' << ComputerHiddenCorner.height() << ", " << clear
          << " in the clear corner " << ComputerClearCorner.width() << 'x'
          << ComputerClearCorner.height() << Qt::endl;
    return hidden == 0 && clear == 0 && painted > 0;
}

// ---------------------------------------------------------------------------
// Window icon
// ---------------------------------------------------------------------------

constexpr int IconSize = 32;

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

QImage renderIcon()
{
    const IconShape s;
    QImage image(IconSize, IconSize, QImage::Format_RGB32);
    image.fill(s.frame);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

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

// Builds an ICO file holding one 8-bit indexed picture: the directory, one entry, and a
// bottom-up device-independent bitmap of twice the height whose second half, the 1-bit mask,
// is all zero because the icon is fully opaque.
QByteArray icoBytes(const QImage &indexed)
{
    const int width = indexed.width();
    const int height = indexed.height();
    const int xorStride = (width + 3) / 4 * 4;
    const int andStride = ((width + 31) / 32) * 4;
    const int paletteSize = 256;
    const quint32 headerSize = 40;
    const quint32 imageSize = xorStride * height + andStride * height;
    const quint32 resourceSize = headerSize + paletteSize * 4 + imageSize;
    const quint32 directorySize = 6 + 16;

    QByteArray bytes;
    QDataStream ds(&bytes, QIODevice::WriteOnly);
    ds.setByteOrder(QDataStream::LittleEndian);

    // ICONDIR
    ds << quint16(0) << quint16(1) << quint16(1);
    // ICONDIRENTRY: width and height 0 would mean 256; a colour count of 0 means 256 colours.
    ds << quint8(width) << quint8(height) << quint8(0) << quint8(0);
    ds << quint16(1) << quint16(8) << resourceSize << directorySize;
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
    // Mask rows: zero everywhere, so every pixel is shown.
    for (int i = 0; i < andStride * height; ++i)
        ds << quint8(0);

    Q_ASSERT(bytes.size() == int(directorySize + resourceSize));
    return bytes;
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

    struct Lamp
    {
        const char *name;
        QColor face;
    };
    const Lamp lamps[] = {
        {"led_green", QColor(14, 183, 10)},
        {"led_red", QColor(241, 17, 33)},
        {"led_grey", QColor(163, 158, 157)},
    };
    for (const Lamp &lamp : lamps) {
        for (int scale : {1, 2}) {
            const QString file = QString::fromLatin1(lamp.name)
                                 + (scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale))
                                 + QStringLiteral(".jpg");
            const QString path = dir.filePath(file);
            ok = writeJpeg(renderLamp(lamp.face, scale), path) && ok;
            ok = checkImage(path, QSize(LampImageWidth * scale, LampImageHeight * scale)) && ok;
        }
    }

    const QString computerPath = dir.filePath(QStringLiteral("computer.svg"));
    ok = writeFile(computerPath, computerSvg().toUtf8()) && ok;
    ok = checkComputerCorner(computerPath) && ok;

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
    ok = writeFile(icoPath, icoBytes(indexed)) && ok;
    ok = checkImage(icoPath, QSize(IconSize, IconSize), true) && ok;

    const QString iconSvgPath = dir.filePath(QStringLiteral("icon.svg"));
    ok = writeFile(iconSvgPath, iconSvg().toUtf8()) && ok;
    {
        // The scalable icon should look like the bitmap one.
        QSvgRenderer renderer(iconSvgPath);
        QImage drawn(IconSize, IconSize, QImage::Format_RGB32);
        drawn.fill(Qt::black);
        QPainter p(&drawn);
        renderer.render(&p);
        p.end();
        qint64 difference = 0;
        for (int y = 0; y < IconSize; ++y) {
            for (int x = 0; x < IconSize; ++x) {
                const QRgb a = drawn.pixel(x, y);
                const QRgb b = icon.pixel(x, y);
                difference += qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b))
                              + qAbs(qBlue(a) - qBlue(b));
            }
        }
        const double mean = double(difference) / (IconSize * IconSize * 3);
        out() << "check: " << iconSvgPath << ": mean difference from the bitmap " << mean
              << (mean < 4.0 ? " ok" : " WRONG") << Qt::endl;
        ok = renderer.isValid() && mean < 4.0 && ok;
    }

    out() << (ok ? "all pictures written" : "some pictures are wrong") << Qt::endl;
    return ok ? 0 : 1;
}
