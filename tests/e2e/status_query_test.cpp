// The filter following the printer label by label: off by default (the stream is the
// labels alone), on by the job's option or the queue's PPD default. The printer's answers
// come on the back channel (file descriptor 3, as the socket and USB backends give it),
// written here by a scripted printer that answers each status query the filter sends.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "filter/printer_status.h"
#include "tests/support/label_check.h"
#include "tests/support/raster.h"
#include "tests/support/run_filter.h"

namespace {

const std::string kQuery = "\x1B!?";
const std::string kCleared =
    "STATE: -cover-open-error,media-jam-error,media-empty-error,marker-supply-empty-error,"
    "other-error\n";
constexpr int kClose = -1;  // an answer that ends the back channel: the backend is gone

// Runs the filter on `pages` one-dot pages with a back channel on which the printer answers
// the n-th status query with answers[n] (kClose: the channel ends there; past the end of
// the list it never answers). No back channel at all when `answers` is null.
RunResult RunFollowed(const std::string &options, const std::vector<int> *answers, int pages = 1,
                      const std::vector<std::string> &env = {}) {
  std::vector<TestPage> raster(pages, UniformPage(8, 1, 0));
  const std::string input = WriteRaster(raster);
  int channel[2] = {-1, -1};
  const int saved = dup(3);
  if (answers) {
    EXPECT_EQ(pipe(channel), 0);
    dup2(channel[0], 3);
    close(channel[0]);
    fcntl(channel[1], F_SETFD, FD_CLOEXEC);
  } else {
    // Held by a descriptor of this process alone, so that no pipe of the run takes the number.
    const int none = open("/dev/null", O_RDONLY | O_CLOEXEC);
    dup3(none, 3, O_CLOEXEC);
    close(none);
  }
  Running run = StartProgram(FILTER_PATH, {"rastertovantel", "17", "user", "title", "1", options},
                             &input, env);
  close(3);
  std::string out;
  size_t asked = 0, scanned = 0;
  for (;;) {
    char bytes[4096];
    const ssize_t got = read(run.out, bytes, sizeof bytes);
    if (got <= 0) break;
    out.append(bytes, size_t(got));
    for (size_t at; (at = out.find(kQuery, scanned)) != std::string::npos; scanned = at + 3) {
      if (!answers || channel[1] < 0 || asked >= answers->size()) continue;
      const int answer = (*answers)[asked++];
      if (answer == kClose) {
        close(channel[1]);
        channel[1] = -1;
      } else {
        const char byte = char(answer);
        EXPECT_EQ(write(channel[1], &byte, 1), 1);
      }
    }
  }
  if (channel[1] >= 0) close(channel[1]);
  RunResult r = FinishProgram(run, out);
  if (saved >= 0) {
    dup2(saved, 3);
    close(saved);
  }
  return r;
}

// `count` labels of one dot on a `width` x `height` mm label, each with its status query
// when `followed`.
std::string Labels(int count, bool followed, int width = 102, int height = 51) {
  std::string labels;
  for (int i = 0; i < count; ++i)
    labels += LabelText(width, height, 0, 0, 1, 1, std::string(1, '\0')) + (followed ? kQuery : "");
  return labels;
}

TEST(StatusQuery, EachLabelIsFollowedToThePaper) {
  const std::vector<int> ready = {0x00, 0x00}, slow = {0x20, 0x20, 0x00},
                         paper = {0x24, 0x24, 0x20, 0x00}, gone = {0x20, kClose},
                         closed = {kClose}, empty = {0x04}, odd = {0xFF, 0x40};
  struct Case {
    const char *name;
    std::string options;
    const char *ppdDefault;
    const std::vector<int> *answers;
    int status;
    std::string out;
    std::string err;
  } cases[] = {
      {"off by default", "", "Off", &ready, 0, Labels(1, false), "PAGE: 1 1\n"},
      {"off by the job over the queue's on", "StatusQuery=Off", "On", &ready, 0,
       Labels(1, false), "PAGE: 1 1\n"},
      {"on by the queue", "", "On", &ready, 0, Labels(1, true), kCleared + "PAGE: 1 1\n"},
      {"counted once out of the printer", "StatusQuery=On", "Off", &slow, 0,
       Labels(1, true) + kQuery + kQuery, kCleared + "PAGE: 1 1\n"},
      {"waits out a fault, shown on the queue", "StatusQuery=On", "Off", &paper, 0,
       Labels(1, true) + kQuery + kQuery + kQuery,
       "STATE: -cover-open-error,media-jam-error,marker-supply-empty-error,other-error\n"
       "STATE: +media-empty-error\n"
       "INFO: Waiting for the printer: out of paper\n"
       "STATE: -media-empty-error\n"
       "INFO: The printer is ready again\n"
       "PAGE: 1 1\n"},
      {"out with the roll: counted, the fault left shown", "StatusQuery=On", "Off", &empty, 0,
       Labels(1, true),
       "STATE: -cover-open-error,media-jam-error,marker-supply-empty-error,other-error\n"
       "STATE: +media-empty-error\n"
       "INFO: Waiting for the printer: out of paper\n"
       "PAGE: 1 1\n"},
      {"every bit, then only the bit no condition has", "StatusQuery=On", "Off", &odd, 0,
       Labels(1, true) + kQuery,
       "STATE: +cover-open-error,media-jam-error,media-empty-error,marker-supply-empty-error,"
       "other-error\n"
       "INFO: Waiting for the printer: head open, paper jam, out of paper, out of ribbon, "
       "paused, error\n"
       "STATE: -cover-open-error,media-jam-error,media-empty-error,marker-supply-empty-error,"
       "other-error\n"
       "INFO: The printer is ready again\n"
       "PAGE: 1 1\n"},
      {"no back channel: printed as sent", "StatusQuery=On", "Off", nullptr, 0, Labels(1, true),
       "DEBUG: The printer did not answer the status query (no back channel)\nPAGE: 1 1\n"},
      {"a back channel that ends at once", "StatusQuery=On", "Off", &closed, 0, Labels(1, true),
       "DEBUG: The printer did not answer the status query (no back channel)\nPAGE: 1 1\n"},
      {"the printer lost while printing", "StatusQuery=On", "Off", &gone, 1,
       Labels(1, true) + kQuery,
       kCleared + "ERROR: The printer went away during label 1 of this job (no label printed)\n"},
  };
  for (const Case &c : cases) {
    TempDir dir;
    std::string ppd = ReadFile(SOURCE_DIR "/ppd/vantel-203.ppd");
    const std::string line = "*DefaultStatusQuery: Off";
    ppd.replace(ppd.find(line), line.size(), std::string("*DefaultStatusQuery: ") + c.ppdDefault);
    WriteFile(dir.path + "/q.ppd", ppd);
    const RunResult r = RunFollowed(c.options, c.answers, 1, {"PPD=" + dir.path + "/q.ppd"});
    EXPECT_EQ(r.status, c.status) << c.name;
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
  }
}

// A job CUPS sends again after the printer went away goes on from the label that did not
// come out; one that went away just as a label came out stops once to say so.
TEST(StatusQuery, AJobSentAgainGoesOnWhereItStopped) {
  TempDir cache;
  const std::string options =
      "StatusQuery=On job-uuid=urn:uuid:0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0";
  const std::vector<std::string> env = {"CUPS_CACHEDIR=" + cache.path};
  const std::string record =
      cache.path + "/rastertovantel-jobs/0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0";

  const std::vector<int> lostOnTheSecond = {0x00, 0x20, kClose};
  RunResult r = RunFollowed(options, &lostOnTheSecond, 3, env);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, Labels(2, true, 60, 40) + kQuery);
  EXPECT_EQ(r.err, kCleared + "PAGE: 1 1\nERROR: The printer went away during label 2 of this "
                               "job (label 1 printed): sent again, the job goes on from label 2\n");

  const std::vector<int> ready = {0x00, 0x00};
  r = RunFollowed(options, &ready, 3, env);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, Labels(2, true, 60, 40));
  EXPECT_EQ(r.err, "INFO: Going on from label 2 (label 1 printed before the printer went away)\n" +
                       kCleared + "PAGE: 2 1\nPAGE: 3 1\n");
  EXPECT_FALSE(std::filesystem::exists(record)) << "kept after the job printed whole";

  // Label 3 may have come out: the job stops once without sending anything, and sent again
  // after that, it prints label 3 again.
  WriteFile(record, "printed 2\nunsure 3\ntold 0\n");
  r = RunFollowed(options, &ready, 3, env);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ERROR: Label 3 of this job may have printed before the printer went away "
                   "(labels 1 to 2 printed): nothing was sent. Restart the job to print from "
                   "label 3, or cancel it and print the labels still missing as a new job\n");
  r = RunFollowed(options, &ready, 3, env);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, Labels(1, true, 60, 40));

  // Switched off while it held a 6 in label with its head open: the label can't have come out.
  const std::vector<int> offWhileOpen = {0x20, 0x21, 0x21, 0x21, 0x21, 0x21, 0x21, kClose};
  r = RunFollowed(options + " PageSize=w288h432", &offWhileOpen, 1, env);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ERROR: The printer went away during label 1 of this job (no label "
                       "printed): sent again, the job goes on from label 1\n"),
            std::string::npos) << r.err;

  // A job-uuid that is not one keeps no record.
  r = RunFollowed("StatusQuery=On job-uuid=urn:uuid:../../etc/passwd", &lostOnTheSecond, 3, env);
  EXPECT_EQ(r.err, kCleared + "PAGE: 1 1\nERROR: The printer went away during label 2 of this "
                               "job (label 1 printed)\n");
}

// A label the printer was printing when it went away came out only if its printing time
// had passed before the printer stopped answering.
TEST(StatusQuery, ALostLabelMayHavePrintedOnlyOnceItsTimeIsUp) {
  struct Case {
    double unansweredAt, roundTrip;
    bool mayHavePrinted;
  } cases[] = {
      {10.2, 0.001, false},   // 0.3 s into a 1 s label
      {10.995, 0.001, true},  // within a query's reach of its end
      {10.99, 0.001, false},
      {10.99, 0.01, true},    // a slower channel reaches further
      {11.5, 0.001, true},    // after its end
  };
  for (const Case &c : cases)
    EXPECT_EQ(lost_label_may_have_printed(10.0, 1.0, c.unansweredAt, c.roundTrip), c.mayHavePrinted)
        << c.unansweredAt << " " << c.roundTrip;
}

}  // namespace
