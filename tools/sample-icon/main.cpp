// make-sample-icon OUTPUT.icns [TEXT]
//
// Draws our own installer icon (a drive with a download arrow, tinted by a hue taken from TEXT) and writes
// it as an Apple icon file: the "icns" container around PNG images of 128 and 256 pixels ('ic07', 'ic08'),
// which Qt's icns image plugin reads.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

QImage drawIcon(int size, int hue)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);

    // The drive body.
    QLinearGradient body(0, 40, 0, 216);
    body.setColorAt(0, QColor::fromHsv(hue, 90, 250));
    body.setColorAt(1, QColor::fromHsv(hue, 200, 170));
    painter.setPen(QPen(QColor::fromHsv(hue, 220, 110), 4));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(28, 40, 200, 176), 28, 28);
    // Its front panel with a light.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 70));
    painter.drawRoundedRect(QRectF(44, 168, 168, 32), 10, 10);
    painter.setBrush(QColor(80, 230, 120));
    painter.drawEllipse(QPointF(188, 184), 7, 7);
    // The arrow.
    QPainterPath arrow;
    arrow.moveTo(110, 62);
    arrow.lineTo(146, 62);
    arrow.lineTo(146, 104);
    arrow.lineTo(172, 104);
    arrow.lineTo(128, 152);
    arrow.lineTo(84, 104);
    arrow.lineTo(110, 104);
    arrow.closeSubpath();
    painter.setBrush(Qt::white);
    painter.setPen(QPen(QColor::fromHsv(hue, 220, 110), 3));
    painter.drawPath(arrow);
    painter.end();
    return image;
}

void appendBigEndian(QByteArray &out, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(static_cast<char>((value >> shift) & 0xff));
}

QByteArray png(const QImage &image)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make-sample-icon OUTPUT.icns [TEXT]\n");
        return 2;
    }
    const QByteArray text = argc == 3 ? QByteArray(argv[2]) : QByteArray("BootDrive");
    const int hue =
        static_cast<unsigned char>(QCryptographicHash::hash(text, QCryptographicHash::Md5).at(0)) * 359 / 255;

    QByteArray entries;
    for (const auto &[type, size] : {std::pair{"ic07", 128}, std::pair{"ic08", 256}}) {
        const QByteArray data = png(drawIcon(size, hue));
        entries.append(type, 4);
        appendBigEndian(entries, static_cast<quint32>(data.size() + 8));
        entries.append(data);
    }
    QByteArray file("icns");
    appendBigEndian(file, static_cast<quint32>(entries.size() + 8));
    file.append(entries);

    QFile out(QFile::decodeName(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size()) {
        std::fprintf(stderr, "make-sample-icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
