// The filter's status query at the end of a job: off by default (the stream is the labels
// alone), on by the job's option or the queue's PPD default, and the printer's answer on
// the back channel (file descriptor 3, as the socket and USB backends give it) turned
// into the job's end.

#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/label_check.h"
#include "tests/support/raster.h"
#include "tests/support/run_filter.h"

namespace {

const std::string kQuery = "\x1B!?";
const std::string kCleared =
    "STATE: -cover-open-error,media-jam-error,media-empty-error,marker-supply-empty-error,"
    "other-error\n";

// Runs the filter on a one-page job with a back channel that holds `answer` (none: no
// back channel at all), and with PPD set to a copy of the driver's PPD whose
// DefaultStatusQuery is `ppdDefault`.
RunResult RunWithBackChannel(const std::string &options, std::optional<uint8_t> answer,
                             const char *ppdDefault = "Off") {
  TempDir dir;
  std::string ppd = ReadFile(SOURCE_DIR "/ppd/vantel-203.ppd");
  const std::string line = "*DefaultStatusQuery: Off";
  ppd.replace(ppd.find(line), line.size(), std::string("*DefaultStatusQuery: ") + ppdDefault);
  WriteFile(dir.path + "/q.ppd", ppd);

  int channel[2] = {-1, -1};
  const int saved = dup(3);
  if (answer) {
    EXPECT_EQ(pipe(channel), 0);
    EXPECT_EQ(write(channel[1], &*answer, 1), 1);
    close(channel[1]);
    dup2(channel[0], 3);
    close(channel[0]);
  } else {
    close(3);
  }
  RunResult r = RunFilter(options, WriteRaster({UniformPage(8, 1, 0)}), {"PPD=" + dir.path + "/q.ppd"});
  if (saved >= 0) {
    dup2(saved, 3);
    close(saved);
  } else {
    close(3);
  }
  return r;
}

TEST(StatusQuery, OnlyWhenAskedAndTheAnswerEndsTheJob) {
  const std::string label = LabelText(102, 51, 0, 0, 1, 1, std::string(1, '\0'));
  struct Case {
    const char *name;
    std::string options;
    const char *ppdDefault;
    std::optional<uint8_t> answer;
    bool asks;
    int status;
    std::string err;  // after "PAGE: 1 1\n"
  } cases[] = {
      {"off by default", "", "Off", 0x04, false, 0, ""},
      {"off by the job over the queue's on", "StatusQuery=Off", "On", 0x04, false, 0, ""},
      {"on by the queue", "", "On", 0x00, true, 0, kCleared},
      {"ready", "StatusQuery=On", "Off", 0x00, true, 0, kCleared},
      {"still printing", "StatusQuery=On", "Off", 0x20, true, 0, kCleared},
      {"no back channel", "StatusQuery=On", "Off", std::nullopt, true, 0,
       "DEBUG: The printer did not answer the status query\n"},
      {"out of paper, labels waiting", "StatusQuery=On", "Off", 0x24, true, 1,
       "STATE: -cover-open-error,media-jam-error,marker-supply-empty-error,other-error\n"
       "STATE: +media-empty-error\n"
       "ERROR: The printer reports: out of paper; labels of this job may not have printed\n"},
      {"head open and paused", "StatusQuery=On", "Off", 0x11, true, 1,
       "STATE: -media-jam-error,media-empty-error,marker-supply-empty-error\n"
       "STATE: +cover-open-error,other-error\n"
       "ERROR: The printer reports: head open, paused; labels of this job may not have printed\n"},
      {"every fault", "StatusQuery=On", "Off", 0xFF, true, 1,
       "STATE: +cover-open-error,media-jam-error,media-empty-error,marker-supply-empty-error,"
       "other-error\n"
       "ERROR: The printer reports: head open, paper jam, out of paper, out of ribbon, paused, "
       "error; labels of this job may not have printed\n"},
  };
  for (const Case &c : cases) {
    const RunResult r = RunWithBackChannel(c.options, c.answer, c.ppdDefault);
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_EQ(r.out, c.asks ? label + kQuery : label) << c.name;
    EXPECT_EQ(r.err, "PAGE: 1 1\n" + c.err) << c.name;
  }
}

}  // namespace
