// ImageBox shares its picture and stretches it only when it paints.
#include "image_box.h"

#include "colour.h"

#include <gtest/gtest.h>

using namespace zovex;

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
