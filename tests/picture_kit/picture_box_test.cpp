// PictureBox shows its canvas's own pixels inside the border.
#include "picture_box.h"

#include <gtest/gtest.h>

#include <utility>

using namespace zovex;

TEST(PictureBox, ShowsTheCanvasItselfInsideItsBorder)
{
    PictureBox box(QSize(40, 30), RGB(0, 0, 64));
    EXPECT_EQ(box.size(), QSize(40, 30));
    EXPECT_EQ(box.canvas().widthPx(), 36);
    EXPECT_EQ(box.canvas().heightPx(), 26);

    box.canvas().persistentImage().setPixel(0, 0, toPixel(RGB(255, 0, 0)));
    box.canvas().persistentImage().setPixel(35, 25, toPixel(RGB(0, 255, 0)));
    const QImage shot = box.grab().toImage();
    EXPECT_EQ(fromPixel(shot.pixel(2, 2)), RGB(255, 0, 0));
    EXPECT_EQ(fromPixel(shot.pixel(37, 27)), RGB(0, 255, 0));
    EXPECT_EQ(fromPixel(shot.pixel(20, 15)), RGB(0, 0, 64));
    EXPECT_NE(fromPixel(shot.pixel(0, 0)), RGB(0, 0, 64)) << "the border is not canvas";

    // A background set on the canvas is what the next paint shows.
    box.canvas().setBackColor(RGB(1, 2, 3));
    EXPECT_EQ(fromPixel(box.grab().toImage().pixel(20, 15)), RGB(1, 2, 3));
}

namespace {

QImage solid(int w, int h, QRgb colour)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

} // namespace

TEST(PictureBox, AutomaticSizingTakesThePicturesSizeAndSharesItsPixels)
{
    PictureBox box(QSize(40, 30), RGB(255, 192, 255), nullptr, AutoSize::On);
    box.move(2, 2);
    const QImage picture = solid(300, 200, qRgb(10, 20, 30));
    box.setPicture(picture);
    EXPECT_EQ(box.size(), QSize(304, 204));
    EXPECT_EQ(box.pos(), QPoint(2, 2)) << "the top-left corner stays";
    EXPECT_EQ(box.interior(), QRect(2, 2, 300, 200));
    EXPECT_EQ(box.canvas().widthPx(), 300);
    EXPECT_EQ(std::as_const(box).canvas().persistentImage().constBits(), picture.constBits()) << "no second copy";

    // Drawing on the canvas leaves the picture as it was.
    box.canvas().persistentImage().setPixel(0, 0, qRgb(255, 0, 0));
    EXPECT_EQ(box.picture().pixel(0, 0), qRgb(10, 20, 30));

    // A smaller picture shrinks the box; no picture leaves the size and shows the background.
    box.setPicture(solid(5, 4, qRgb(1, 1, 1)));
    EXPECT_EQ(box.size(), QSize(9, 8));
    box.setPicture(QImage());
    EXPECT_EQ(box.size(), QSize(9, 8));
    EXPECT_EQ(box.canvas().pixel(2, 2), RGB(255, 192, 255));

    // Transparent parts of a picture show the background.
    QImage clear(6, 6, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    clear.setPixel(1, 1, qRgba(0, 0, 255, 255));
    box.setPicture(clear);
    EXPECT_EQ(box.size(), QSize(10, 10));
    EXPECT_EQ(box.canvas().pixel(0, 0), RGB(255, 192, 255));
    EXPECT_EQ(box.canvas().pixel(1, 1), RGB(0, 0, 255));
}

TEST(PictureBox, WithoutAutomaticSizingThePictureIsCutOffAtTheInterior)
{
    PictureBox box(QSize(24, 14), RGB(192, 192, 255));
    QImage picture = solid(100, 50, qRgb(9, 9, 9));
    picture.setPixel(19, 9, qRgb(200, 0, 0));
    box.setPicture(picture);
    EXPECT_EQ(box.size(), QSize(24, 14));
    EXPECT_EQ(box.picture().size(), QSize(100, 50)) << "the whole picture is kept";
    EXPECT_EQ(box.canvas().pixel(19, 9), RGB(200, 0, 0));

    box.setPicture(solid(3, 3, qRgb(9, 9, 9)));
    EXPECT_EQ(box.canvas().pixel(2, 2), RGB(9, 9, 9));
    EXPECT_EQ(box.canvas().pixel(3, 3), RGB(192, 192, 255)) << "the background around a small picture";
    const QImage shot = box.grab().toImage();
    EXPECT_EQ(fromPixel(shot.pixel(2 + 10, 2 + 5)), RGB(192, 192, 255));
}

TEST(PictureBox, ScaleResizeAndScaledDraw)
{
    PictureBox twips(QSize(100, 50), RGB(0, 0, 0));
    EXPECT_EQ(twips.scaleMode(), ScaleMode::Twip);
    EXPECT_EQ(twips.ScaleWidth(), 96 * 15.0f);
    EXPECT_EQ(twips.ScaleHeight(), 46 * 15.0f);

    PictureBox box(QSize(20, 12), RGB(0, 0, 64), nullptr, AutoSize::Off, ScaleMode::Pixel);
    EXPECT_EQ(box.ScaleWidth(), 16.0f);
    EXPECT_EQ(box.ScaleHeight(), 8.0f);
    box.canvas().persistentImage().setPixel(3, 2, qRgb(255, 255, 0));

    // Larger: what was drawn stays, the new part is the background; smaller: cut off.
    ASSERT_TRUE(box.setOuterSize(QSize(44, 24)));
    EXPECT_EQ(box.size(), QSize(44, 24));
    EXPECT_EQ(box.ScaleWidth(), 40.0f);
    EXPECT_EQ(box.canvas().pixel(3, 2), RGB(255, 255, 0));
    EXPECT_EQ(box.canvas().pixel(39, 19), RGB(0, 0, 64));
    box.show();
    box.resize(10, 10); // however a shown box is resized, the canvas follows
    EXPECT_EQ(box.canvas().widthPx(), 6);
    EXPECT_EQ(box.canvas().pixel(3, 2), RGB(255, 255, 0));

    // A 2 x 1 picture stretched to 6 x 2 pixels at (1, 1), the rest cut off at the edge.
    QImage two(2, 1, QImage::Format_RGB32);
    two.setPixel(0, 0, qRgb(255, 0, 0));
    two.setPixel(1, 0, qRgb(0, 255, 0));
    box.PaintPicture(two, 1, 1, 6, 2);
    for (int x = 1; x < 6; ++x) {
        SCOPED_TRACE(x);
        EXPECT_EQ(box.canvas().pixel(x, 1), x < 4 ? RGB(255, 0, 0) : RGB(0, 255, 0));
        EXPECT_EQ(box.canvas().pixel(x, 2), box.canvas().pixel(x, 1));
    }
    EXPECT_EQ(box.canvas().pixel(0, 0), RGB(0, 0, 64));
    EXPECT_EQ(box.canvas().pixel(1, 3), RGB(0, 0, 64));

    // In twips the same draw is given in twips: 15 a pixel.
    PictureBox inTwips(QSize(10, 10), RGB(0, 0, 64));
    inTwips.PaintPicture(two, 15, 15, 90, 30);
    EXPECT_EQ(inTwips.canvas().pixel(1, 1), RGB(255, 0, 0));
    EXPECT_EQ(inTwips.canvas().pixel(5, 2), RGB(0, 255, 0));
    EXPECT_EQ(inTwips.canvas().pixel(1, 3), RGB(0, 0, 64));
}
