#include "imaging/qimage_bitmap.h"

#include <gtest/gtest.h>

#include "image_test_util.h"

namespace ombrelo {
namespace {

TEST(QImageBitmapTest, CopiesColourAndGreyPictures) {
  testing::BmpLayout layout;
  layout.width = 2;
  layout.height = 2;
  layout.pixels = testing::Raw({0, 0, 255, 0, 255, 0, 0, 0,        // bottom: red, green
                              255, 0, 0, 255, 255, 255, 0, 0});  // top: blue, white
  const auto bitmap =
      PictureLoader::DecodeIntoBitmap(testing::Bytes(testing::BuildBmp(layout)), PictureFormat::kBmp);
  ASSERT_TRUE(bitmap);
  const QImage image = ToQImage(*bitmap);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(2, 2));
  EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 255));
  EXPECT_EQ(image.pixel(1, 0), qRgb(255, 255, 255));
  EXPECT_EQ(image.pixel(0, 1), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(1, 1), qRgb(0, 255, 0));

  testing::JpegLayout grey;
  grey.width = 16;
  grey.height = 8;
  grey.components = 1;
  grey.inputSpace = JCS_GRAYSCALE;
  grey.pixel = [](int, int, uint8_t* s) { s[0] = 100; };
  const auto greyBitmap = PictureLoader::DecodeIntoBitmap(testing::Bytes(testing::EncodeJpeg(grey)),
                                                          PictureFormat::kJpeg);
  ASSERT_TRUE(greyBitmap);
  const QImage greyImage = ToQImage(*greyBitmap);
  EXPECT_EQ(greyImage.format(), QImage::Format_Indexed8);
  EXPECT_NEAR(qRed(greyImage.pixel(5, 5)), 100, 2);
  EXPECT_EQ(qRed(greyImage.pixel(5, 5)), qBlue(greyImage.pixel(5, 5)));
}

}  // namespace
}  // namespace ombrelo
