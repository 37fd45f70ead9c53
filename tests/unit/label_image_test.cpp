#include "picture/label_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/label_check.h"
#include "tests/support/run_filter.h"

namespace {

StreamLabel Bitmap(int32_t x, int32_t y, int32_t widthBytes, std::vector<uint8_t> bits) {
  StreamLabel label;
  label.bitmapX = x;
  label.bitmapY = y;
  label.widthBytes = widthBytes;
  label.height = static_cast<int32_t>(bits.size() / widthBytes);
  label.bits = std::move(bits);
  return label;
}

// The picture as rows of '#' (black) and '.' (white).
std::vector<std::string> Art(const GrayPicture &picture) {
  std::vector<std::string> rows;
  for (uint32_t y = 0; y < picture.height; ++y) {
    std::string row;
    for (uint32_t x = 0; x < picture.width; ++x) row += picture.at(x, y) == 0 ? '#' : '.';
    rows.push_back(row);
  }
  return rows;
}

TEST(LabelImage, MillimetresToDots) {
  struct Case { int64_t mm, dpi, dots; } cases[] = {
      {60, 203, 480}, {40, 203, 320}, {102, 203, 815}, {51, 203, 408},
      {25, 300, 295}, {0, 203, 0},    {-10, 203, -80}, {INT32_MAX, 2400, 202911840661},
  };
  for (const Case &c : cases) EXPECT_EQ(MmToDots(c.mm, c.dpi), c.dots) << c.mm << " mm at " << c.dpi;
}

TEST(LabelImage, HowTheBitmapFallsOnTheLabel) {
  // A 16 x 8 dot label and a bitmap of 2 bytes x 3 rows.
  struct Case {
    const char *name;
    int32_t x, y, widthBytes;
    uint8_t fill;
    bool left, top, right, bottom;
    uint64_t cutOff;
  } cases[] = {
      {"inside", 0, 5, 2, 0x00, false, false, false, false, 0},
      {"past the right edge", 8, 5, 2, 0x00, false, false, true, false, 24},
      {"negative origin", -3, -1, 2, 0x00, true, true, false, false, 16 + 3 + 3},
      {"past the bottom edge", 0, 6, 2, 0x00, false, false, false, true, 16},
      {"wholly off the label", 100, 100, 2, 0x00, false, false, true, true, 48},
      {"white bytes past the edge", 0, 0, 3, 0xFF, false, false, true, false, 0},
      {"some dots past the edge", 4, 0, 2, 0xF0, false, false, true, false, 3 * 4},
  };
  for (const Case &c : cases) {
    const StreamLabel label = Bitmap(c.x, c.y, c.widthBytes, std::vector<uint8_t>(c.widthBytes * 3, c.fill));
    const BitmapFit fit = FitBitmap(label, 16, 8);
    EXPECT_EQ(fit.left, c.left) << c.name;
    EXPECT_EQ(fit.top, c.top) << c.name;
    EXPECT_EQ(fit.right, c.right) << c.name;
    EXPECT_EQ(fit.bottom, c.bottom) << c.name;
    EXPECT_EQ(fit.dotsCutOff, c.cutOff) << c.name;
  }
}

TEST(LabelImage, PngHasTheLabelSizeAndTheBitmapAtItsOrigin) {
  const std::vector<uint8_t> clipped = {
      0x00, 0x00, 0x00,  // row -1, above the label
      0x0F, 0xFF, 0xF0,  // dots only left and right of the label
      0xF0, 0xFF, 0x0F,  // dots on both edges
      0xFF, 0x7F, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0x7F, 0xFF,
      0xFF, 0x7F, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0x7F, 0xFF,
      0x00, 0x00, 0x00,  // row 8, below the label
  };
  struct Case {
    const char *name;
    StreamLabel label;
    std::vector<std::string> art;
  } cases[] = {
      {"inside", Bitmap(3, 2, 1, {0x0F, 0xF0}),
       {"................", "................", "...####.........", ".......####.....",
        "................", "................", "................", "................"}},
      {"clipped on every side", Bitmap(-4, -1, 3, clipped),
       {"................", "####........####", "....#...........", "....#...........",
        "....#...........", "....#...........", "....#...........", "....#..........."}},
  };
  for (const Case &c : cases) {
    TempDir dir;
    const std::string path = dir.path + "/label-1.png";
    ASSERT_EQ(WriteLabelPng(path, c.label, 16, 8, 203), "") << c.name;
    const GrayPicture picture = ReadPng(path);
    ASSERT_EQ(picture.error, "") << c.name;
    EXPECT_EQ(picture.width, 16u) << c.name;
    EXPECT_EQ(picture.height, 8u) << c.name;
    EXPECT_EQ(Art(picture), c.art) << c.name;
    // Only the picture itself is left behind.
    std::vector<std::string> files;
    for (const auto &entry : std::filesystem::directory_iterator(dir.path))
      files.push_back(entry.path().filename());
    EXPECT_EQ(files, std::vector<std::string>{"label-1.png"}) << c.name;
  }
}

TEST(LabelImage, PicturesThatCannotBeWrittenLeaveNoFile) {
  TempDir dir;
  const StreamLabel label = Bitmap(0, 0, 1, {0x00});
  struct Case { const char *name; std::string path; int64_t width, height; std::string error; } cases[] = {
      {"no dots", dir.path + "/a.png", 0, 8, "the picture would be 0 x 8 dots; it can be 1 to 16384 dots a side"},
      {"too wide", dir.path + "/a.png", 16385, 8, "the picture would be 16385 x 8 dots; it can be 1 to 16384 dots a side"},
      {"negative", dir.path + "/a.png", 8, -80, "the picture would be 8 x -80 dots; it can be 1 to 16384 dots a side"},
      {"no such folder", dir.path + "/none/a.png", 8, 8,
       "cannot create " + dir.path + "/none/a.png.part: No such file or directory"},
  };
  for (const Case &c : cases) EXPECT_EQ(WriteLabelPng(c.path, label, c.width, c.height, 203), c.error) << c.name;
  EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}

}  // namespace
