#include "UI/VectorImage.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A picture with a transparent margin, a filled shape and a stroke: enough for scaling, antialiasing and
// transparency to show in the pixels.
const QByteArray Picture =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="64" height="32" viewBox="0 0 64 32">
  <rect x="4" y="4" width="40" height="24" rx="6" fill="#1f6bf0"/>
  <circle cx="52" cy="16" r="9" fill="none" stroke="#e2384d" stroke-width="3"/>
</svg>)";

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return file.fileName();
}

} // namespace

// Drawn through the image plugin, the artwork keeps the pixels the SVG renderer gives it directly, at the
// asked size and density.
TEST(VectorImage, DrawsThePixelsOfTheSvgRendererAtTheAskedSizeAndDensity)
{
    QTemporaryDir dir;
    const QString path = write(dir, "picture.svg", Picture);
    for (const QSize pixels : {QSize(64, 32), QSize(200, 50), QSize(17, 90)}) {
        QImage expected(pixels, QImage::Format_ARGB32_Premultiplied);
        expected.fill(Qt::transparent);
        QPainter painter(&expected);
        QSvgRenderer(path).render(&painter);
        painter.end();
        const QImage drawn = VectorImage::image(path, pixels);
        ASSERT_EQ(drawn.size(), pixels);
        EXPECT_EQ(drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied), expected) << pixels.width();
    }
    const QPixmap dense = VectorImage::pixmap(path, QSize(100, 50), 2.0);
    EXPECT_EQ(dense.size(), QSize(200, 100));
    EXPECT_EQ(dense.devicePixelRatio(), 2.0);
    EXPECT_EQ(dense.toImage(),
              VectorImage::image(path, QSize(200, 100)).convertToFormat(dense.toImage().format()));
}

// What is not an SVG picture draws nothing, and the view keeps its size.
TEST(VectorImage, WhatIsNotAPictureDrawsNothing)
{
    QTemporaryDir dir;
    const std::pair<const char *, QString> cases[] = {
        {"missing", dir.filePath("missing.svg")},
        {"empty", write(dir, "empty.svg", {})},
        {"text", write(dir, "text.svg", "not a picture")},
        {"cut short", write(dir, "cut.svg", Picture.left(60))},
    };
    for (const auto &[name, path] : cases) {
        EXPECT_TRUE(VectorImage::image(path, QSize(40, 40)).isNull()) << name;
        const QPixmap pixmap = VectorImage::pixmap(path, QSize(40, 20), 1.5);
        EXPECT_EQ(pixmap.size(), QSize(60, 30)) << name;
        EXPECT_EQ(pixmap.toImage().pixelColor(30, 15).alpha(), 0) << name;
    }
}
