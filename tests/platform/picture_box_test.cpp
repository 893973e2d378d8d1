// PictureBox shows its canvas's own pixels inside the border; ImageBox shares its picture and
// stretches it only when it paints.
#include "image_box.h"
#include "picture_box.h"

#include <gtest/gtest.h>

using namespace zovex;

TEST(PictureBox, ShowsTheCanvasItselfInsideItsBorder)
{
    PictureBox box(QSize(40, 30), RGB(0, 0, 64));
    EXPECT_EQ(box.size(), QSize(40, 30));
    EXPECT_EQ(box.canvas().widthPx(), 36);
    EXPECT_EQ(box.canvas().heightPx(), 26);

    box.canvas().image().setPixel(0, 0, toPixel(RGB(255, 0, 0)));
    box.canvas().image().setPixel(35, 25, toPixel(RGB(0, 255, 0)));
    const QImage shot = box.grab().toImage();
    EXPECT_EQ(fromPixel(shot.pixel(2, 2)), RGB(255, 0, 0));
    EXPECT_EQ(fromPixel(shot.pixel(37, 27)), RGB(0, 255, 0));
    EXPECT_EQ(fromPixel(shot.pixel(20, 15)), RGB(0, 0, 64));
    EXPECT_NE(fromPixel(shot.pixel(0, 0)), RGB(0, 0, 64)) << "the border is not canvas";

    // A background set on the canvas is what the next paint shows.
    box.canvas().setBackColor(RGB(1, 2, 3));
    EXPECT_EQ(fromPixel(box.grab().toImage().pixel(20, 15)), RGB(1, 2, 3));
}

TEST(ImageBox, SharesItsPictureAndStretchesItWhenPainting)
{
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.setPixel(0, 0, toPixel(RGB(255, 0, 0)));
    picture.setPixel(1, 0, toPixel(RGB(0, 255, 0)));
    picture.setPixel(0, 1, toPixel(RGB(0, 0, 255)));
    picture.setPixel(1, 1, toPixel(RGB(255, 255, 255)));

    ImageBox box;
    box.resize(20, 10);
    EXPECT_TRUE(box.picture().isNull());
    box.setPicture(picture);
    EXPECT_EQ(box.picture().cacheKey(), picture.cacheKey()) << "no copy, no scaled copy";
    EXPECT_EQ(box.picture().size(), QSize(2, 2));

    const QImage shot = box.grab().toImage();
    EXPECT_EQ(fromPixel(shot.pixel(2, 2)), RGB(255, 0, 0));
    EXPECT_EQ(fromPixel(shot.pixel(17, 2)), RGB(0, 255, 0));
    EXPECT_EQ(fromPixel(shot.pixel(2, 7)), RGB(0, 0, 255));
    EXPECT_EQ(fromPixel(shot.pixel(17, 7)), RGB(255, 255, 255));
}
