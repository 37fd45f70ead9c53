// The built filter run as CUPS runs it: arguments, standard streams, exit status, log.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/raster.h"
#include "tests/support/run_filter.h"

namespace {

const std::string kUsage = "ERROR: rastertovantel job-id user title copies options [file]\n";

std::string SetupLines(int width, int height, int speed, int density) {
  return "SIZE " + std::to_string(width) + "mm," + std::to_string(height) +
         "mm\r\nGAP 0.120,0.000\r\nSPEED " + std::to_string(speed) + "\r\nDENSITY " +
         std::to_string(density) +
         "\r\nDIRECTION 0,0\r\nREFERENCE 0,0\r\nOFFSET 0.000\r\nSHIFT 0\r\nSET PEEL OFF\r\n"
         "SET CUTTER OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR ON\r\nCLS\r\n";
}

TEST(Filter, WrongArgumentCount) {
  for (int count : {1, 5, 8}) {
    std::vector<std::string> args = {"q", "1", "u", "t", "1", "", "f", "x"};
    args.resize(count);
    RunResult r = RunProgram(FILTER_PATH, args, WriteRaster({UniformPage(8, 1, 0)}));
    EXPECT_EQ(r.status, 1) << count;
    EXPECT_EQ(r.out, "") << count;
    EXPECT_EQ(r.err, kUsage) << count;
    std::vector<std::string> log = {"Enter main"};
    for (int i = 0; i < count; ++i) log.push_back("argv[" + std::to_string(i) + "]:" + args[i]);
    log.push_back("Begin main");
    log.push_back("Input param is not enough");
    EXPECT_EQ(r.log, log) << count;
  }
}

TEST(Filter, DefaultsOnStandardInput) {
  RunResult r = RunFilter("", WriteRaster({UniformPage(16, 2, 0, 2)}));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "PAGE: 1 2\n");
  EXPECT_EQ(r.out, SetupLines(60, 40, 4, 7) + "BITMAP 0,0,2,2,1," + std::string(4, '\0') +
                       "\r\nPRINT 1,2\r\n");
}

}  // namespace
