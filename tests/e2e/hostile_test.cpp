// A catalogue of bad jobs through the built filter, each with the exact outcome expected:
// never a crash, never output that passes for a good label, the right exit status.

#include <dirent.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/label_check.h"
#include "tests/support/label_stream.h"
#include "tests/support/raster.h"
#include "tests/support/run_filter.h"

namespace {

TEST(HostileJob, RasterStreamsThatAreNotWhatTheyClaim) {
  const std::string good = WriteRaster({UniformPage(8, 1, 0)});
  // A header of 1 000 000 rows with one row behind it: the page is written whole, its
  // missing rows white, and nothing is read past the end.
  TestPage tall{8, 1000000, 1, std::vector<uint8_t>(8, 0)};
  std::string tallBitmap(1000000, '\xFF');
  tallBitmap[0] = '\0';
  struct Case {
    const char *name;
    std::string raster;
    int status;
    std::string out;
    std::string err;
  } cases[] = {
      {"empty input", "", 0, "", ""},
      {"a PDF, not a raster", "%PDF-1.7\n1 0 obj\n<<>>\nendobj\n", 0, "", ""},
      {"random bytes", std::string(5000, '\x5A'), 0, "", ""},
      {"sync word and nothing else", good.substr(0, 4), 0, "", ""},
      {"height of a million, one row sent", WriteRaster({tall}), 0,
       LabelText(60, 40, 0, 0, 1, 1000000, tallBitmap), "PAGE: 1 1\n"},
      {"stride x height beyond 32 bits", good + WriteRaster({TestPage{4096, 1048577, 1, {}}}).substr(4), 1,
       LabelText(60, 40, 0, 0, 1, 1, std::string(1, '\0')),
       "PAGE: 1 1\nPAGE: 2 1\nERROR: Page 2 is too large to print (4096 bytes per line, 1048577 lines)\n"},
  };
  for (const Case &c : cases) {
    RunResult r = RunFilter("", c.raster);
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_TRUE(r.out == c.out) << c.name << ": " << r.out.size() << " bytes out";
    EXPECT_EQ(r.err, c.err) << c.name;
    EXPECT_EQ(r.log.empty() ? "" : r.log.back(), "Exit main") << c.name;
  }
}

TEST(HostileJob, PrinterConnectionClosedEarly) {
  // The reader takes 100 bytes and goes away, as a dead backend does. The filter must see
  // the failed write and end with an error, not die of SIGPIPE or keep converting pages.
  std::vector<TestPage> pages(50, UniformPage(800, 800, 0));
  RunResult r = RunProgram(
      "/bin/bash",
      {"bash", "-c", "\"$0\" 1 u t 1 '' | head -c 100 >/dev/null; echo \"status=${PIPESTATUS[0]}\" >&2",
       FILTER_PATH},
      WriteRaster(pages, CUPS_RASTER_WRITE_COMPRESSED));
  EXPECT_NE(r.err.find("ERROR: Unable to write print data\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("status=1\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("PAGE: 50 1"), std::string::npos) << "went on after the printer was gone";
}

TEST(HostileJob, SettingsThatAreNotWhatTheyClaim) {
  TempDir dir;
  const std::string garbage = dir.path + "/garbage.ppd";
  std::string bytes;
  for (int i = 0; i < 4096; ++i) bytes += char((i * 7919) & 0xFF);
  WriteFile(garbage, bytes);
  const std::string page = WriteRaster({UniformPage(8, 1, 0)});
  struct Case {
    const char *name;
    std::string options;
    std::string ppd;  // "" for none
    std::string setup;
    std::string origin;
    std::string refused = "";  // the job's ERROR lines when it is refused
  } cases[] = {
      // Numbers beyond 32 bits are held at the 32-bit limit, then keep their low 16 bits.
      {"numbers far beyond 32 bits", "Horizontal=4294967296 Vertical=-1e99", "",
       SetupLines(60, 40, 4, 7), "-1,-1"},
      // A darkness or speed so far out of range is refused, whatever its low 16 bits say.
      {"darkness and speed far beyond 32 bits",
       "Darkness=99999999999999999999 PrintSpeed=-99999999999", "", "", "",
       "ERROR: Darkness=99999999999999999999 is out of range: the printer takes 0 to 15\n"
       "ERROR: PrintSpeed=-99999999999 is out of range: the printer takes 20 to 60\n"},
      // Not-a-number and infinity are no size a printer makes.
      {"custom size of nan and inf", "PageSize=Custom.nanxinf", "", "", "",
       "ERROR: PageSize=Custom.nanxinf asks for a label the printer cannot take: it takes "
       "labels 1 to 102 mm wide and 1 to 1017 mm long\n"},
      {"custom size of 1e39 points", "PageSize=Custom.1e39x-1e39", "", "", "",
       "ERROR: PageSize=Custom.1e39x-1e39 asks for a label the printer cannot take: it takes "
       "labels 1 to 102 mm wide and 1 to 1017 mm long\n"},
      {"PPD of binary garbage", "", garbage, SetupLines(60, 40, 4, 7), "0,0"},
      {"PPD path that is a folder", "", dir.path, SetupLines(60, 40, 4, 7), "0,0"},
      {"PPD path that does not exist", "Darkness=3", dir.path + "/none.ppd", SetupLines(60, 40, 4, 3), "0,0"},
  };
  for (const Case &c : cases) {
    std::vector<std::string> env;
    if (!c.ppd.empty()) env.push_back("PPD=" + c.ppd);
    RunResult r = RunFilter(c.options, page, env);
    if (!c.refused.empty()) {
      EXPECT_EQ(r.status, 1) << c.name;
      EXPECT_EQ(r.err, c.refused) << c.name;
      EXPECT_EQ(r.out, "") << c.name;
      continue;
    }
    EXPECT_EQ(r.status, 0) << c.name;
    EXPECT_EQ(r.err, "PAGE: 1 1\n") << c.name;
    EXPECT_EQ(r.out, c.setup + "BITMAP " + c.origin + ",1,1,1," + std::string(1, '\0') +
                         "\r\nPRINT 1,1\r\n")
        << c.name;
  }
}

// Every input the fuzzers keep (seeds and the inputs of fixed findings) goes through the
// real binaries too, so the sanitizer build of the suite replays them: rasters as the job,
// option texts as argv[5], PPD texts as the queue's PPD, label streams to the preview.
std::vector<std::string> FuzzInputs(const std::string &kind) {
  std::vector<std::string> paths;
  for (const char *folder : {"/fuzz/corpus/", "/fuzz/regressions/"}) {
    const std::string dir = std::string(SOURCE_DIR) + folder + kind;
    DIR *d = opendir(dir.c_str());
    if (!d) continue;
    while (dirent *entry = readdir(d)) {
      if (entry->d_name[0] != '.') paths.push_back(dir + "/" + entry->d_name);
    }
    closedir(d);
  }
  return paths;
}

// A sanitizer build exits 1 on a finding, as a refused job does: its report tells them apart.
bool SanitizerSpoke(const RunResult &r) {
  return r.err.find("Sanitizer") != std::string::npos ||
         r.err.find("runtime error") != std::string::npos;
}

TEST(HostileJob, FuzzSeedsAndFindingsReplay) {
  const std::string page = WriteRaster({UniformPage(8, 2, 0)});
  for (const std::string &path : FuzzInputs("raster")) {
    RunResult r = RunFilter("", ReadFile(path));
    EXPECT_TRUE(r.status == 0 || r.status == 1) << path << ": status " << r.status;
    EXPECT_FALSE(SanitizerSpoke(r)) << path << ": " << r.err;
  }
  // Printed, or refused with nothing sent and nothing but ERROR lines.
  auto printedOrRefused = [](const RunResult &r) {
    if (r.status == 0) return r.err == "PAGE: 1 1\n";
    return r.status == 1 && r.out.empty() && r.err.starts_with("ERROR: ") &&
           r.err.find("\nPAGE") == std::string::npos;
  };
  for (const std::string &path : FuzzInputs("options")) {
    RunResult r = RunFilter(ReadFile(path), page);
    EXPECT_TRUE(printedOrRefused(r)) << path << ": " << r.err;
  }
  for (const std::string &path : FuzzInputs("label_stream")) {
    TempDir dir;
    RunResult r = RunProgram(PREVIEW_PATH, {"label-preview", "-o", dir.path + "/p", path}, "",
                             {}, /*keepLog=*/true);
    EXPECT_TRUE(r.status == 0 || r.status == 1) << path << ": status " << r.status;
    EXPECT_FALSE(SanitizerSpoke(r)) << path << ": " << r.err;
  }
  for (const std::string &path : FuzzInputs("ppd")) {
    RunResult r = RunFilter("", page, {"PPD=" + path});
    EXPECT_TRUE(printedOrRefused(r)) << path << ": " << r.err;
  }
}

}  // namespace
