// One real job through the real CUPS toolchain: Ghostscript makes a PDF, cupsfilter turns
// it into the raster CUPS would hand the filter, and the filter's output is checked
// against what that raster must convert to.

#include <cups/raster.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cupsutil/cups_handles.h"
#include "tests/support/label_check.h"
#include "tests/support/raster.h"
#include "tests/support/run_filter.h"

namespace {

// A 4 x 2 inch page, white but for one black box: x 72-144 pt, y 36-108 pt from the bottom.
const char *kLabelPs =
    "%!PS\n<< /PageSize [288 144] >> setpagedevice\n"
    "0 setgray 72 36 72 72 rectfill\nshowpage\n";

// The pages of the raster file at `path`, as libcups reads them.
std::vector<TestPage> ReadRaster(const std::string &path) {
  std::vector<TestPage> pages;
  int fd = open(path.c_str(), O_RDONLY);
  RasterPtr raster{cupsRasterOpen(fd, CUPS_RASTER_READ)};
  cups_page_header2_t header;
  while (raster && cupsRasterReadHeader2(raster.get(), &header)) {
    TestPage page = UniformPage(header.cupsBytesPerLine, header.cupsHeight, 255, header.NumCopies);
    for (uint32_t r = 0; r < header.cupsHeight; ++r)
      cupsRasterReadPixels(raster.get(), &page.pixels[size_t{r} * page.bytesPerLine],
                           page.bytesPerLine);
    pages.push_back(std::move(page));
  }
  close(fd);
  return pages;
}

TEST(Toolchain, CupsfilterRasterConvertsExactly) {
  if (access("/usr/sbin/cupsfilter", X_OK) != 0 || access("/usr/bin/gs", X_OK) != 0)
    GTEST_SKIP() << "cupsfilter or gs is not installed";
  TempDir dir;
  WriteFile(dir.path + "/label.ps", kLabelPs);
  const std::vector<std::string> env = {"PATH=/usr/sbin:/usr/bin:/sbin:/bin"};
  RunResult gs = RunProgram("/usr/bin/gs",
                            {"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pdfwrite",
                             "-o", dir.path + "/label.pdf", dir.path + "/label.ps"},
                            "", env, true);
  ASSERT_EQ(gs.status, 0) << gs.err;
  RunResult cupsfilter = RunProgram(
      "/usr/sbin/cupsfilter",
      {"cupsfilter", "-p", SOURCE_DIR "/tests/data/label-203.ppd", "-m",
       "application/vnd.cups-raster", dir.path + "/label.pdf"},
      "", env, true);
  ASSERT_EQ(cupsfilter.status, 0) << cupsfilter.err;
  WriteFile(dir.path + "/label.ras", cupsfilter.out);

  std::vector<TestPage> pages = ReadRaster(dir.path + "/label.ras");
  ASSERT_EQ(pages.size(), 1u);
  const TestPage &page = pages[0];
  ASSERT_EQ(page.bytesPerLine, 812u);
  ASSERT_EQ(page.height, 406u);

  RunResult r = RunFilter("", cupsfilter.out);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "PAGE: 1 1\n");

  const int widthBytes = 102;
  const std::vector<uint8_t> bits = ExpectedStreamBits(page, 5);
  const std::string header = "BITMAP 0,0,102,406,1,";
  const size_t at = r.out.find(header);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(r.out.substr(0, 15), "SIZE 60mm,40mm\r");
  EXPECT_EQ(r.out.substr(at + header.size()), std::string(bits.begin(), bits.end()) + "\r\nPRINT 1,1\r\n");

  // The box covers x 203-406 and rows 101-304 at 203 dpi: printed dots (0 bits) inside,
  // none outside.
  auto printed = [&](int row, int x) {
    return (r.out[at + header.size() + row * widthBytes + x / 8] & (0x80 >> (x % 8))) == 0;
  };
  EXPECT_TRUE(printed(110, 210));
  EXPECT_TRUE(printed(295, 398));
  EXPECT_FALSE(printed(90, 300));
  EXPECT_FALSE(printed(200, 420));
  EXPECT_FALSE(printed(200, 190));
}

}  // namespace
