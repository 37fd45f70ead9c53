// The built filter run as CUPS runs it: arguments, standard streams, exit status, log.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <span>

#include <string>
#include <vector>

#include "tests/support/label_check.h"
#include "tests/support/label_stream.h"
#include "tests/support/raster.h"
#include "tests/support/run_filter.h"
#include "core/label_stream.h"

namespace {

// The label of an 8 x 1 black page with the built-in settings.
const std::string kOneBlackByte = LabelText(60, 40, 0, 0, 1, 1, std::string(1, '\0'));

const std::string kUsage = "ERROR: rastertovantel job-id user title copies options [file]\n";

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
  EXPECT_EQ(r.out, LabelText(60, 40, 0, 0, 2, 2, std::string(4, '\0'), 2));
}

TEST(Filter, SeveralPagesFromANamedFileWithTheirCopies) {
  TempDir dir;
  const std::string path = dir.path + "/job.ras";
  WriteFile(path, WriteRaster({UniformPage(8, 1, 0, 3), UniformPage(8, 1, 255, 3)},
                              CUPS_RASTER_WRITE_COMPRESSED));
  RunResult r = RunProgram(FILTER_PATH, {"q", "17", "user", "title", "3", "", path}, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "PAGE: 1 3\nPAGE: 2 3\n");
  const std::string setup = SetupLines(60, 40, 4, 7);
  EXPECT_EQ(r.out, setup + "BITMAP 0,0,1,1,1," + std::string(1, '\0') + "\r\nPRINT 1,3\r\n" +
                       setup + "BITMAP 0,0,1,1,1,\xFF\r\nPRINT 1,3\r\n");
}

TEST(Filter, LogOfAJobInOrder) {
  RunResult r = RunFilter("", WriteRaster({UniformPage(8, 1, 0), UniformPage(8, 1, 0)}));
  std::vector<std::string> expected = {
      "Enter main",          "argv[0]:q",  "argv[1]:17",          "argv[2]:user",
      "argv[3]:title",       "argv[4]:1",  "argv[5]:",            "Begin main",
      "PPD=(unset)",         "can't param ppdfile",
      "cups_file is not null",
      "Gray2Bytes: Enter function", "",    "Gray2Bytes: Exit function11", "",
      "Gray2Bytes: Enter function", "",    "Gray2Bytes: Exit function11", "",
      "Exit main"};
  EXPECT_EQ(r.log, expected);
}

TEST(Filter, EachRunRewritesTheLog) {
  RunFilter("", "");
  RunResult second = RunProgram(FILTER_PATH, {"second"}, "");
  EXPECT_EQ(second.log, (std::vector<std::string>{"Enter main", "argv[0]:second", "Begin main",
                                                  "Input param is not enough"}));
}

TEST(Filter, MissingInputFileFailsTheJob) {
  RunResult r = RunProgram(FILTER_PATH, {"q", "1", "u", "t", "1", "", "/nonexistent/job.ras"}, "");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ERROR: Unable to open raster file\n");
  ASSERT_GE(r.log.size(), 3u);
  EXPECT_EQ(r.log[r.log.size() - 2], "Unable to open raster file /nonexistent/job.ras");
  EXPECT_EQ(r.log.back(), "Exit main");
}

TEST(Filter, TooLargePageEndsTheJobWithAnError) {
  // The page before stays written whole; the refused one leaves nothing on stdout.
  std::string raster = WriteRaster({UniformPage(8, 1, 0)}) +
                       WriteRaster({TestPage{65536, 65536, 1, {}}}).substr(4);
  RunResult r = RunFilter("", raster);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kOneBlackByte);
  EXPECT_EQ(r.err, "PAGE: 1 1\nPAGE: 2 1\nERROR: Page 2 is too large to print (65536 bytes per line, 65536 lines)\n");
  EXPECT_EQ(r.log.back(), "Exit main");
}

TEST(Filter, RasterCutOffMidPageStillPrintsTheWholePage) {
  std::string raster = WriteRaster({UniformPage(8, 4, 0, 2)});
  RunResult r = RunFilter("", raster.substr(0, raster.size() - 8 * 3));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "PAGE: 1 2\n");
  EXPECT_EQ(r.out, LabelText(60, 40, 0, 0, 1, 4, std::string("\0\xFF\xFF\xFF", 4), 2));
}

TEST(Filter, NeverWritesThroughALinkAtTheLogPath) {
  TempDir dir;
  const std::string victim = dir.path + "/victim";
  WriteFile(victim, "keep me");
  unlink(VANTEL_LOG_PATH);
  ASSERT_EQ(symlink(victim.c_str(), VANTEL_LOG_PATH), 0);
  // RunFilter removes the log path before it starts the filter, so run it directly.
  RunResult r = RunProgram("/bin/sh", {"sh", "-c", "exec \"$0\" 1 u t 1 ''", FILTER_PATH},
                           WriteRaster({UniformPage(8, 1, 0)}), {}, /*keepLog=*/true);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "PAGE: 1 1\n");
  EXPECT_EQ(ReadFile(victim), "keep me");
  unlink(VANTEL_LOG_PATH);
}

TEST(Filter, PrintsWithoutALogDirectory) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root for a private mount namespace";
  // A private, empty /var/log: the log folder does not exist for this run only.
  RunResult r = RunProgram(
      "/usr/bin/unshare",
      {"unshare", "-m", "sh", "-c", "mount -t tmpfs tmpfs /var/log && exec \"$0\" 1 u t 1 ''",
       FILTER_PATH},
      WriteRaster({UniformPage(8, 1, 0)}));
  if (r.status != 0 && r.out.empty()) GTEST_SKIP() << "no mount namespace here: " << r.err;
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "PAGE: 1 1\n");
  EXPECT_EQ(r.out, kOneBlackByte);
}

const std::vector<std::string> kArgs = {"q", "17", "user", "title", "1", ""};

// CUPS cancels a job with SIGTERM. Held at a write inside page 1's bitmap (the test reads
// slowly, as a slow printer would), the filter completes that bitmap with white rows,
// ends it without PRINT, and starts no other page.
TEST(Filter, CancelInsideABitmapCompletesItWhiteWithoutPrint) {
  const TestPage page = NoisePage(1024, 4000, 7);  // 512 000 bitmap bytes: more than a pipe holds
  const std::string raster = WriteRaster({page, page});
  Running running = StartProgram(FILTER_PATH, kArgs, &raster);
  const std::string start = ReadOutput(running, 4096);
  kill(running.pid, SIGTERM);
  RunResult r = FinishProgram(running, start);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "PAGE: 1 1\nDEBUG: Job canceled; page 1 was ended without printing it\n");
  const StreamParse parse = ParseLabelStream(std::span(
      reinterpret_cast<const uint8_t *>(r.out.data()), r.out.size()));
  EXPECT_EQ(parse.error, "");
  ASSERT_EQ(parse.labels.size(), 1u);
  const StreamLabel &label = parse.labels[0];
  EXPECT_FALSE(label.printed);
  ASSERT_EQ(label.bits.size(), 128u * 4000);
  // The rows written before the cancel as converted, every row after them white.
  const std::vector<uint8_t> expected = ExpectedStreamBits(page, 5);
  auto row = [](const std::vector<uint8_t> &bits, size_t r) {
    return std::vector<uint8_t>(bits.begin() + r * 128, bits.begin() + (r + 1) * 128);
  };
  size_t converted = 0;
  while (converted < 4000 && row(label.bits, converted) == row(expected, converted)) ++converted;
  EXPECT_GT(converted, 0u);
  EXPECT_LT(converted, 4000u);
  for (size_t r = converted; r < 4000; ++r)
    ASSERT_EQ(row(label.bits, r), std::vector<uint8_t>(128, 0xFF)) << "row " << r;
}

// Cancelled while it waits for the next page, the filter starts none: only whole labels.
TEST(Filter, CancelBetweenPagesLeavesOnlyWholeLabels) {
  const std::string raster = WriteRaster({UniformPage(8, 1, 0), UniformPage(8, 1, 0)});
  const std::string firstPage = WriteRaster({UniformPage(8, 1, 0)});
  Running running = StartProgram(FILTER_PATH, kArgs, nullptr);
  ASSERT_EQ(write(running.in, firstPage.data(), firstPage.size()), ssize_t(firstPage.size()));
  const std::string first = ReadOutput(running, kOneBlackByte.size());
  kill(running.pid, SIGTERM);
  const std::string rest = raster.substr(firstPage.size());
  ASSERT_EQ(write(running.in, rest.data(), rest.size()), ssize_t(rest.size()));
  RunResult r = FinishProgram(running, first);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kOneBlackByte);
  EXPECT_EQ(r.err, "PAGE: 1 1\n");
}

// Two jobs at once (two queues printing): the first holds the log for its whole run; the
// second prints without one and says so, and the file keeps whole lines of one job only.
TEST(Filter, TwoJobsAtOnceNeverShareTheLog) {
  const std::string raster = WriteRaster({UniformPage(8, 1, 0)});
  Running first = StartProgram(FILTER_PATH, {"q", "1", "a", "t", "1", ""}, nullptr);
  ASSERT_EQ(write(first.in, raster.data(), raster.size()), ssize_t(raster.size()));
  const std::string firstOut = ReadOutput(first, kOneBlackByte.size());  // it runs, log open

  RunResult second = RunProgram(FILTER_PATH, {"q", "2", "b", "t", "1", ""}, raster, {},
                                /*keepLog=*/true);
  EXPECT_EQ(second.out, kOneBlackByte);
  EXPECT_EQ(second.err, "DEBUG: The filter's log " VANTEL_LOG_PATH
                        " is in use by another job; this job writes none\nPAGE: 1 1\n");

  RunResult r = FinishProgram(first, firstOut);
  EXPECT_EQ(r.logText.find('\0'), std::string::npos);
  ASSERT_GE(r.log.size(), 3u);
  EXPECT_EQ(r.log[2], "argv[1]:1");
  EXPECT_EQ(r.log.back(), "Exit main");
  for (const std::string &line : r.log) {
    EXPECT_NE(line.substr(0, 4), "BAD:") << line;
    EXPECT_NE(line, "argv[1]:2");
  }

  // Alone again, a job has the file to itself, created readable by its group only.
  unlink(VANTEL_LOG_PATH);
  RunResult third = RunFilter("", raster);
  EXPECT_EQ(third.log[2], "argv[1]:17");
  struct stat file {};
  ASSERT_EQ(stat(VANTEL_LOG_PATH, &file), 0);
  EXPECT_EQ(file.st_mode & 0777, 0640u & ~umask(umask(0)));
}

}  // namespace
