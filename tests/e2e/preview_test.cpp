// The built filter's output read back by the stream reader, and the built label-preview
// run as a user runs it: arguments, standard streams, exit status, the pictures it writes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/label_check.h"
#include "tests/support/raster.h"
#include "tests/support/run_filter.h"
#include "core/label_stream.h"

namespace {

StreamParse Parse(const std::string &stream) {
  return ParseLabelStream({reinterpret_cast<const uint8_t *>(stream.data()), stream.size()});
}

TEST(Preview, FilterOutputDecodesToTheReferenceInEveryMode) {
  std::vector<TestPage> pages = {NoisePage(13, 7, 1), NoisePage(37, 20, 2, 3), NoisePage(8, 4, 3),
                                 NoisePage(101, 11, 4)};
  pages.back().pixels.resize(101 * 6);  // the raster ends inside the last page
  const std::string raster = WriteRaster(pages);
  // No option at all leaves the default mode, 5.
  for (const char *options : {"", "PrintMode=0", "PrintMode=1", "PrintMode=2", "PrintMode=3",
                              "PrintMode=4", "PrintMode=5", "PrintMode=-1"}) {
    const int mode = *options ? atoi(options + 10) : 5;
    const RunResult run = RunFilter(options, raster);
    ASSERT_EQ(run.status, 0) << options << ": " << run.err;

    const StreamParse parse = Parse(run.out);
    ASSERT_EQ(parse.error, "") << options << " at byte " << parse.errorOffset;
    ASSERT_EQ(parse.labels.size(), pages.size()) << options;
    for (size_t i = 0; i < pages.size(); ++i) {
      const StreamLabel &label = parse.labels[i];
      EXPECT_EQ(label.widthBytes, static_cast<int32_t>((pages[i].bytesPerLine + 7) / 8)) << i;
      EXPECT_EQ(label.height, static_cast<int32_t>(pages[i].height)) << i;
      EXPECT_EQ(label.copies, static_cast<int32_t>(pages[i].copies)) << i;
      EXPECT_EQ(label.bits, ExpectedStreamBits(pages[i], mode)) << options << " page " << i + 1;
    }
  }
}

// label-preview run in a fresh folder, with the stream in `job.prn` there.
struct PreviewRun {
  TempDir dir;
  RunResult result;
  std::string file(const std::string &name) const { return dir.path + "/" + name; }
  bool exists(const std::string &name) const { return std::filesystem::exists(file(name)); }
};

// `text` with every "@" standing for the run's folder.
std::string InFolder(const PreviewRun &run, std::string text) {
  for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, run.dir.path);
  return text;
}

// `args` come after the program name.
void RunPreview(PreviewRun &run, const std::string &stream, const std::vector<std::string> &args,
                const std::string &input = "") {
  WriteFile(run.file("job.prn"), stream);
  std::vector<std::string> argv = {"label-preview"};
  for (const std::string &a : args) argv.push_back(InFolder(run, a));
  run.result = RunProgram(PREVIEW_PATH, argv, input, {}, /*keepLog=*/true);
}

const std::string kLabel = LabelText(2, 1, 3, 2, 1, 2, "\x0F\xF0", 2);

TEST(Preview, WritesOnePngPerLabelAndSummarizesIt) {
  PreviewRun run;
  RunPreview(run, kLabel + kLabel, {"@/job.prn"});
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.err, "");
  const std::string summary =
      ".png: 2 x 1 mm (16 x 8 dots at 203 dpi), speed 4, density 7, bitmap 8 x 2 dots at 3,2, "
      "copies 2\n";
  EXPECT_EQ(run.result.out,
            run.file("job-1") + summary + run.file("job-2") + summary);
  for (const char *name : {"job-1.png", "job-2.png"}) {
    const GrayPicture picture = ReadPng(run.file(name));
    ASSERT_EQ(picture.error, "") << name;
    EXPECT_EQ(picture.width, 16u);
    EXPECT_EQ(picture.height, 8u);
    int black = 0;
    for (uint8_t p : picture.pixels) black += p == 0;
    EXPECT_EQ(black, 8) << name;
    EXPECT_EQ(picture.at(3, 2), 0) << name;
    EXPECT_EQ(picture.at(10, 3), 0) << name;
  }
}

// Each label's line names the stock and the finishing it asks for where they are not a
// plain gap label torn off.
TEST(Preview, NamesTheStockAndFinishing) {
  auto with = [](std::vector<std::pair<std::string, std::string>> edits) {
    std::string label = kLabel;
    for (const auto &[from, to] : edits) label.replace(label.find(from), from.size(), to);
    return label;
  };
  struct Case {
    std::string label, named;
  } cases[] = {
      {with({{"GAP 0.120,0.000", "BLINE 0.098,0.039"}, {"SET CUTTER OFF", "SET CUTTER 3"},
             {"SET TEAR ON", "SET TEAR OFF"}}),
       ", black mark 0.098 in + 0.039 in, cut every 3 labels"},
      {with({{"GAP 0.120,0.000", "GAP 0.000,0.000"}, {"SET CUTTER OFF", "SET CUTTER BATCH"},
             {"SET TEAR ON", "SET TEAR OFF"}}),
       ", continuous, cut after the job"},
      {with({{"GAP 0.120", "GAP 0.118"}, {"DIRECTION 0,0", "DIRECTION 1,0"},
             {"OFFSET 0.000", "OFFSET -0.039"}, {"SHIFT 0", "SHIFT -8"}, {"SET PEEL OFF", "SET PEEL ON"},
             {"SET TEAR ON", "SET TEAR OFF"}}),
       ", gap 0.118 in, upside down, offset -0.039 in, shift -8 dots, peel-off"},
      {with({{"DIRECTION 0,0", "DIRECTION 0,1"}, {"SET CUTTER OFF", "SET CUTTER 1"}}),
       ", mirrored, cut every label, tear-off"},
      {with({{"SET TEAR ON", "SET TEAR OFF"}}), ", no tear-off"},
  };
  for (const Case &c : cases) {
    PreviewRun run;
    RunPreview(run, c.label, {"@/job.prn"});
    EXPECT_EQ(run.result.status, 0) << run.result.err;
    EXPECT_EQ(run.result.out, run.file("job-1") + ".png: 2 x 1 mm (16 x 8 dots at 203 dpi), speed 4, "
                                                  "density 7" + c.named + ", bitmap 8 x 2 dots at 3,2, copies 2\n");
  }
}

TEST(Preview, OutputPrefixDpiAndStandardInput) {
  PreviewRun run;
  std::filesystem::create_directory(run.file("out"));
  RunPreview(run, "", {"--dpi", "300", "-o", "@/out/p", "-"}, kLabel);
  EXPECT_EQ(run.result.status, 0) << run.result.err;
  EXPECT_EQ(run.result.out.substr(0, run.result.out.find(',')),
            run.file("out/p-1.png") + ": 2 x 1 mm (24 x 12 dots at 300 dpi)");
  const GrayPicture picture = ReadPng(run.file("out/p-1.png"));
  EXPECT_EQ(picture.width, 24u);
  EXPECT_EQ(picture.height, 12u);
}

TEST(Preview, BitmapOffTheLabelIsDrawnClippedWithAWarning) {
  PreviewRun run;
  RunPreview(run, LabelText(1, 1, -2, 7, 1, 2, std::string("\x00\x00", 2)), {"@/job.prn"});
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.err,
            "WARNING: label 1: the bitmap (8 x 2 dots at -2,7) runs off the left and bottom edges "
            "of the label (8 x 8 dots); 10 printed dots are cut off\n");
  const GrayPicture picture = ReadPng(run.file("job-1.png"));
  ASSERT_EQ(picture.error, "");
  int black = 0;
  for (uint8_t p : picture.pixels) black += p == 0;
  EXPECT_EQ(black, 6);
  EXPECT_EQ(picture.at(0, 7), 0);
  EXPECT_EQ(picture.at(5, 7), 0);
}

TEST(Preview, WhiteRunningOffTheLabelIsNoLoss) {
  PreviewRun run;
  RunPreview(run, LabelText(1, 1, 4, 0, 1, 1, "\x0F"), {"@/job.prn"});
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.err, "");
}

TEST(Preview, FailuresExitWithStatusOne) {
  struct Case {
    const char *name;
    std::string stream;
    std::vector<std::string> args;
    std::string err;
    std::vector<std::string> pictures;  // written all the same
  } cases[] = {
      {"unknown command after a label", kLabel + "FEED 10\r\n", {"@/job.prn"},
       "ERROR: byte " + std::to_string(kLabel.size()) + ": unknown command \"FEED\"\n",
       {"job-1.png"}},
      {"stream cut inside the second label's bitmap", kLabel + kLabel.substr(0, kLabel.size() - 14),
       {"@/job.prn"},
       "ERROR: byte " + std::to_string(2 * kLabel.size() - 15) +
           ": BITMAP data runs short: 2 bytes announced, 1 present\n",
       {"job-1.png"}},
      {"label too large to draw", LabelText(3000, 40, 0, 0, 1, 1, "\xFF") + kLabel, {"@/job.prn"},
       "ERROR: label 1 (3000 x 40 mm at 203 dpi): the picture would be 23976 x 320 dots; it can "
       "be 1 to 16384 dots a side\n",
       {"job-2.png"}},
      {"output folder missing", kLabel, {"-o", "@/none/p", "@/job.prn"},
       "ERROR: label 1 (2 x 1 mm at 203 dpi): cannot create @/none/p-1.png.part: No such file or "
       "directory\n",
       {}},
      {"no such file", "", {"@/none.prn"}, "ERROR: Unable to open @/none.prn: No such file or directory\n", {}},
      {"dpi not a number", kLabel, {"--dpi", "2O3", "@/job.prn"},
       "ERROR: --dpi takes a whole number from 1 to 2400, not \"2O3\"\n", {}},
      {"dpi zero", kLabel, {"--dpi=0", "@/job.prn"},
       "ERROR: --dpi takes a whole number from 1 to 2400, not \"0\"\n", {}},
  };
  for (const Case &c : cases) {
    PreviewRun run;
    RunPreview(run, c.stream, c.args);
    EXPECT_EQ(run.result.status, 1) << c.name;
    EXPECT_EQ(run.result.err, InFolder(run, c.err)) << c.name;
    for (const char *name : {"job-1.png", "job-2.png"}) {
      const bool wanted = std::find(c.pictures.begin(), c.pictures.end(), name) != c.pictures.end();
      EXPECT_EQ(run.exists(name), wanted) << c.name << ": " << name;
    }
  }
}

TEST(Preview, EmptyStreamHasNothingToDraw) {
  PreviewRun run;
  RunPreview(run, "", {}, "");
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(run.result.out, "");
  EXPECT_EQ(run.result.err, "WARNING: the stream holds no labels\n");
}

}  // namespace
