#include "Common/BaseImage.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {
QImage quadrants(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h, Qt::blue);
    return image;
}
} // namespace

TEST(BaseImage, SquareIconsScaleToTheTargetAndSameSizeIsCopied)
{
    const QImage icon = quadrants(32, 32);
    const QImage small = BaseImage::resizeImage(icon, QSizeF(20, 20));
    EXPECT_EQ(small.size(), QSize(20, 20));
    EXPECT_EQ(QColor(small.pixel(2, 10)), QColor(Qt::blue));
    EXPECT_EQ(QColor(small.pixel(17, 10)), QColor(Qt::red));

    const QImage same = BaseImage::resizeImage(quadrants(20, 20), QSizeF(20, 20));
    EXPECT_EQ(same.size(), QSize(20, 20));
    EXPECT_EQ(same.convertToFormat(QImage::Format_ARGB32), quadrants(20, 20));

    const QImage up = BaseImage::resizeImage(quadrants(10, 10), QSizeF(20, 20));
    EXPECT_EQ(up.size(), QSize(20, 20));
}

TEST(BaseImage, OtherAspectRatiosGiveACentredCropOfTheTarget)
{
    // 40 × 20, left half blue: scaled to cover 20 × 20 it becomes 40 × 20 shifted left by 10, so the
    // middle column is the blue/red border and both edges keep their colours.
    const QImage result = BaseImage::resizeImage(quadrants(40, 20), QSizeF(20, 20));
    EXPECT_EQ(result.size(), QSize(20, 20));
    EXPECT_EQ(QColor(result.pixel(1, 10)), QColor(Qt::blue));
    EXPECT_EQ(QColor(result.pixel(18, 10)), QColor(Qt::red));
}

TEST(BaseImage, AnEmptyImageGivesATransparentCanvas)
{
    const QImage result = BaseImage::resizeImage(QImage(), QSizeF(20, 20));
    EXPECT_EQ(result.size(), QSize(20, 20));
    EXPECT_EQ(qAlpha(result.pixel(10, 10)), 0);
}
