// render-icon INPUT.svg OUTPUT SIZE
//
// Renders the SVG picture as a square of SIZE pixels with a transparent background. OUTPUT.png is a PNG file;
// OUTPUT.rgba holds the bare pixels (premultiplied RGBA, one byte per channel, rows top to bottom), which the
// application's first frame shows without any image decoder.
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: render-icon INPUT.svg OUTPUT.png|OUTPUT.rgba SIZE\n");
        return 64;
    }
    bool ok = false;
    const int size = QString::fromLocal8Bit(argv[3]).toInt(&ok);
    if (!ok || size < 1 || size > 4096) {
        std::fprintf(stderr, "render-icon: the size must be 1 to 4096 pixels, not \"%s\"\n", argv[3]);
        return 64;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render-icon: cannot read %s as SVG\n", argv[1]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    const QString output = QString::fromLocal8Bit(argv[2]);
    bool written = false;
    if (output.endsWith(QLatin1String(".rgba"))) {
        const QImage pixels = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
        QFile file(output);
        written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                  file.write(reinterpret_cast<const char *>(pixels.constBits()), pixels.sizeInBytes()) ==
                      pixels.sizeInBytes() &&
                  file.flush();
    } else {
        written = image.save(output, "PNG");
    }
    if (!written) {
        std::fprintf(stderr, "render-icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
