// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the window's pictures and the program's icons, green on black:
//   pictures/picture1.bmp  24-bit bitmap 80 x 60, an alarm clock ringing
//   pictures/picture2.bmp  24-bit bitmap 105 x 34, the name over a small sunrise
//   pictures/picture3.jpg  JPEG 360 x 240, a sunrise over the name
//   pictures/<name>@2x.*   each picture drawn at twice its size, for screens that scale by 2
//   icons/wakewell.ico     the alarm clock at 32 x 32 and 16 x 16, 16 colours each
//   icons/<n>.png          the alarm clock at the sizes a desktop installs
// Usage: makepictures <resources folder>. Run it by building the target "pictures"; the files
// it writes are committed, so the normal build does not need it.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor green(0, 255, 0);
const QColor darkGreen(0, 128, 0);
const QColor black(0, 0, 0);

// The 16 colours of the icon, in the order of the classic 16-colour palette.
const QList<QRgb> iconPalette {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};

QFont nameFont(int pixelSize)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setBold(true);
    font.setPixelSize(pixelSize);
    return font;
}

// A black image of width x height with `draw` painted on it, antialiased if asked, at `scale`
// times that size: the same drawing in as many more pixels.
QImage drawn(int width, int height, int scale, const std::function<void(QPainter &)> &draw,
             bool antialias = true)
{
    QImage image(width * scale, height * scale, QImage::Format_RGB32);
    image.fill(black);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, antialias);
    p.scale(scale, scale);
    draw(p);
    p.end();
    return image;
}

// An alarm clock filling the square `box`: a round face with two bells, the hammer between
// them, two feet, and the hands at seven o'clock. Below 24 pixels it leaves out the hour
// marks, which would only blur.
void drawClock(QPainter &p, const QRectF &box)
{
    const double s = box.width();
    const QPointF centre = box.center() + QPointF(0, s * 0.06);
    const double radius = s * 0.36;
    const double pen = std::max(1.0, s / 16);
    p.setPen(QPen(green, pen, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);

    // The bells: two half discs leaning outwards above the face, and the hammer's stem.
    for (int side : {-1, 1}) {
        p.save();
        p.translate(centre + QPointF(side * radius * 0.72, -radius * 0.78));
        p.rotate(side * 35);
        QPainterPath bell;
        bell.moveTo(-radius * 0.36, 0);
        bell.arcTo(QRectF(-radius * 0.36, -radius * 0.36, radius * 0.72, radius * 0.72), 180, -180);
        bell.closeSubpath();
        p.setBrush(green);
        p.drawPath(bell);
        p.restore();
    }
    p.setBrush(Qt::NoBrush);
    p.drawLine(centre + QPointF(0, -radius), centre + QPointF(0, -radius * 1.22));
    // The feet.
    for (int side : {-1, 1})
        p.drawLine(centre + QPointF(side * radius * 0.62, radius * 0.8),
                   centre + QPointF(side * radius * 0.9, radius * 1.12));

    p.setBrush(black);
    p.drawEllipse(centre, radius, radius);
    if (s >= 24) {
        p.setPen(QPen(darkGreen, pen * 0.7, Qt::SolidLine, Qt::RoundCap));
        for (int hour = 0; hour < 12; ++hour) {
            const double a = hour * M_PI / 6;
            const QPointF d(std::sin(a), -std::cos(a));
            p.drawLine(centre + d * radius * 0.78, centre + d * radius * 0.9);
        }
    }
    p.setPen(QPen(green, pen, Qt::SolidLine, Qt::RoundCap));
    const double hourAngle = 7 * M_PI / 6;
    p.drawLine(centre, centre + QPointF(std::sin(hourAngle), -std::cos(hourAngle)) * radius * 0.5);
    p.drawLine(centre, centre + QPointF(0, -radius * 0.72));
}

// A sun rising over the horizon at height `horizon`: a half disc of `radius` with rays, and
// the horizon line across the whole image.
void drawSunrise(QPainter &p, double centreX, double horizon, double radius)
{
    const double pen = std::max(1.0, radius / 12);
    p.setPen(QPen(green, pen, Qt::SolidLine, Qt::FlatCap));
    p.setBrush(darkGreen);
    p.drawChord(QRectF(centreX - radius, horizon - radius, 2 * radius, 2 * radius), 0, 180 * 16);
    for (int ray = 1; ray < 12; ++ray) {
        const double a = ray * M_PI / 12;
        const QPointF d(-std::cos(a), -std::sin(a));
        const QPointF c(centreX, horizon);
        p.drawLine(c + d * radius * 1.2, c + d * radius * (ray % 2 ? 1.55 : 1.4));
    }
    p.drawLine(QPointF(0, horizon), QPointF(p.device()->width(), horizon));
}

void drawName(QPainter &p, const QRectF &box, int pixelSize)
{
    p.setFont(nameFont(pixelSize));
    p.setPen(green);
    p.drawText(box, Qt::AlignCenter, QStringLiteral("Wakewell"));
}

// Picture1: the clock ringing, with shake marks on both sides.
QImage picture1(int scale)
{
    return drawn(80, 60, scale, [](QPainter &p) {
        drawClock(p, QRectF(12, 0, 56, 56));
        p.setPen(QPen(green, 2, Qt::SolidLine, Qt::RoundCap));
        for (int side : {-1, 1})
            for (int mark = 0; mark < 3; ++mark) {
                const double x = 40 + side * (32 + mark * 0.5);
                const double y = 18 + mark * 10;
                p.drawLine(QPointF(x, y), QPointF(x + side * 5, y - 3 + mark * 3));
            }
    });
}

// Picture2: the name over a small sunrise. Its box shows the left 81 x 33 pixels only.
QImage picture2(int scale)
{
    return drawn(105, 34, scale, [](QPainter &p) {
        drawSunrise(p, 40, 30, 6);
        drawName(p, QRectF(0, 0, 81, 20), 16);
    });
}

// Picture3: a sunrise over the name. Its box shows the left 345 pixels.
QImage picture3(int scale)
{
    return drawn(360, 240, scale, [](QPainter &p) {
        drawSunrise(p, 172, 160, 62);
        // The sun's reflection: shorter dashes towards the viewer.
        p.setPen(QPen(darkGreen, 3, Qt::SolidLine, Qt::FlatCap));
        for (int row = 1; row <= 3; ++row) {
            const double half = 55 - row * 14;
            p.drawLine(QPointF(172 - half, 160 + row * 8), QPointF(172 + half, 160 + row * 8));
        }
        drawName(p, QRectF(0, 190, 345, 44), 40);
    });
}

// The icon: the clock on black. Without antialiasing every pixel is black, green or dark
// green, colours that the 16-colour images of the .ico hold exactly.
QImage icon(int size, bool antialias)
{
    return drawn(
        size, size, 1, [size](QPainter &p) { drawClock(p, QRectF(0, 0, size, size)); }, antialias);
}

template<typename T> void appendLittleEndian(QByteArray &data, T value)
{
    value = qToLittleEndian(value);
    data.append(reinterpret_cast<const char *>(&value), sizeof value);
}

// One image of an .ico: a bitmap header of twice the height (colour rows, then the mask),
// the palette, the 4-bit colour rows and the 1-bit mask rows, each bottom up and padded to
// 4 bytes. The mask is all clear: the icon is opaque.
QByteArray icoImage(const QImage &image)
{
    const QImage indexed = image.convertToFormat(QImage::Format_Indexed8, iconPalette,
                                                 Qt::ThresholdDither | Qt::AvoidDither);
    const int w = image.width(), h = image.height();
    const int colourRow = (w * 4 + 31) / 32 * 4;
    const int maskRow = (w + 31) / 32 * 4;
    QByteArray data;
    const auto put = [&data](auto value) { appendLittleEndian(data, value); };
    put(quint32(40));
    put(qint32(w));
    put(qint32(2 * h));
    put(quint16(1)); // planes
    put(quint16(4)); // bits per pixel
    put(quint32(0)); // no compression
    put(quint32((colourRow + maskRow) * h));
    put(qint32(0));
    put(qint32(0));
    put(quint32(16)); // colours used
    put(quint32(0));
    for (QRgb c : iconPalette) {
        put(quint8(qBlue(c)));
        put(quint8(qGreen(c)));
        put(quint8(qRed(c)));
        put(quint8(0));
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(colourRow, '\0');
        const uchar *pixels = indexed.constScanLine(y);
        for (int x = 0; x < w; ++x)
            row[x / 2] = char(row[x / 2] | (pixels[x] << (x % 2 ? 0 : 4)));
        data.append(row);
    }
    data.append(QByteArray(maskRow * h, '\0'));
    return data;
}

QByteArray ico(const QList<QImage> &images)
{
    QByteArray file;
    const auto put = [&file](auto value) { appendLittleEndian(file, value); };
    put(quint16(0));
    put(quint16(1)); // an icon, not a cursor
    put(quint16(images.size()));
    QList<QByteArray> bodies;
    quint32 offset = 6 + 16 * images.size();
    for (const QImage &image : images) {
        bodies << icoImage(image);
        put(quint8(image.width()));
        put(quint8(image.height()));
        put(quint8(16)); // colours
        put(quint8(0));
        put(quint16(1)); // planes
        put(quint16(4)); // bits per pixel
        put(quint32(bodies.last().size()));
        put(offset);
        offset += bodies.last().size();
    }
    for (const QByteArray &body : bodies)
        file.append(body);
    return file;
}

bool write(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: makepictures <resources folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    bool ok = out.mkpath(QStringLiteral("pictures")) && out.mkpath(QStringLiteral("icons"));
    // Qt writes a bitmap of a 32-bit image with 24 bits per pixel.
    for (int scale : {1, 2}) {
        const QString suffix = scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale);
        const auto path = [&](const char *name, const char *type) {
            return out.filePath(QStringLiteral("pictures/%1%2.%3").arg(name, suffix, type));
        };
        ok = ok && picture1(scale).save(path("picture1", "bmp"), "BMP");
        ok = ok && picture2(scale).save(path("picture2", "bmp"), "BMP");
        ok = ok && picture3(scale).save(path("picture3", "jpg"), "JPG", 90);
    }
    ok = ok
        && write(out.filePath(QStringLiteral("icons/wakewell.ico")),
                 ico({icon(32, false), icon(16, false)}));
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        ok = ok
            && icon(size, size > 32)
                   .save(out.filePath(QStringLiteral("icons/%1.png").arg(size)), "PNG");
    if (!ok) {
        std::fprintf(stderr, "makepictures: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
