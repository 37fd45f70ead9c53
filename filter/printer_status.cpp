#include "filter/printer_status.h"

#include <cups/ppd.h>
#include <poll.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "core/printer_status.h"
#include "cupsutil/cups_handles.h"
#include "filter/log.h"
#include "filter/print_bitmap.h"

namespace {

// The back channel: CUPS gives the filter the read end on file descriptor 3.
constexpr int kBackChannel = 3;
// How long an answer may take before the printer counts as not answering.
constexpr double kAnswerTimeout = 5.0;
// How often the printer is asked: while a label prints, from 0.15 s before the least time
// it takes (so that a label is known to be out soon after it is, and the next goes out),
// while a fault stops it, while it does not answer. Each query passes through the backend
// and the scheduler's log: asked no more than the label needs.
constexpr double kPrintingPoll = 0.25, kEndPoll = 0.01, kFaultPoll = 0.25, kOfflinePoll = 1.0;
constexpr double kEndPollFrom = 0.15;

double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + t.tv_nsec / 1e9;
}

// Sleeps for `seconds`, or less when the job is cancelled meanwhile.
void Pause(double seconds) {
  const double end = Now() + seconds;
  for (double left = seconds; left > 0 && !g_job_cancelled; left = end - Now()) {
    const double slice = std::min(left, 0.05);
    timespec t{static_cast<time_t>(slice), static_cast<long>((slice - time_t(slice)) * 1e9)};
    nanosleep(&t, nullptr);
  }
}

bool is_on(const char *value) {
  return value && (!strcasecmp(value, "On") || !strcasecmp(value, "True") ||
                   !strcasecmp(value, "Yes"));
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
// The queue's DefaultStatusQuery, or null.
bool ppd_wants_status_query() {
  const char *path = getenv("PPD");
  PpdPtr ppd{path ? ppdOpenFile(path) : nullptr};
  if (!ppd) return false;
  const ppd_attr_t *attr = ppdFindAttr(ppd.get(), "DefaultStatusQuery", nullptr);
  return attr && is_on(attr->value);
}
#pragma GCC diagnostic pop

// "STATE: -a,b,c" and the like: one line CUPS reads as a change of the printer's reasons.
void state_line(char sign, const std::vector<std::string> &reasons) {
  if (reasons.empty()) return;
  std::string line = std::string("STATE: ") + sign;
  for (size_t i = 0; i < reasons.size(); ++i) line += (i ? "," : "") + reasons[i];
  fprintf(stderr, "%s\n", line.c_str());
}

// The printer-state-reasons of a status byte as the filter reports them. A paused printer
// is an "other-error": cupsd stops the queue itself on "paused", and only an administrator
// would start it again, long after the printer goes on.
std::vector<std::string> job_reasons(uint8_t status) {
  std::vector<std::string> reasons;
  for (std::string &reason : StatusReasons(status)) {
    if (reason == "paused") reason = "other-error";
    if (std::find(reasons.begin(), reasons.end(), reason) == reasons.end())
      reasons.push_back(std::move(reason));
  }
  return reasons;
}

// The reasons of `a` that `b` does not have.
std::vector<std::string> reasons_without(const std::vector<std::string> &a,
                                         const std::vector<std::string> &b) {
  std::vector<std::string> left;
  for (const std::string &reason : a)
    if (std::find(b.begin(), b.end(), reason) == b.end()) left.push_back(reason);
  return left;
}

// "labels 1 to 3 printed", "label 1 printed", "no label printed".
std::string printed_words(int printed) {
  if (printed <= 0) return "no label printed";
  if (printed == 1) return "label 1 printed";
  return "labels 1 to " + std::to_string(printed) + " printed";
}

// What the printer answered, or that it did not.
enum : int { kNoAnswer = -1, kChannelClosed = -2 };

// Sends the status query. False when the output can't be written: the printer is gone.
bool send_query() {
  return fwrite(kStatusQuery, 1, sizeof kStatusQuery, stdout) == sizeof kStatusQuery &&
         fflush(stdout) == 0;
}

// Reads what the back channel holds now without waiting: answers that came too late.
void drop_late_answers() {
  pollfd fd{kBackChannel, POLLIN, 0};
  unsigned char bytes[64];
  while (poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN) && read(kBackChannel, bytes, sizeof bytes) > 0) {}
}

// The printer's answer, waiting up to `timeout` seconds (less when the job is cancelled):
// the last byte it sent, kNoAnswer, or kChannelClosed when there is no back channel or the
// backend that held it has ended.
int read_answer(double timeout) {
  const double end = Now() + timeout;
  while (!g_job_cancelled) {
    const double left = end - Now();
    if (left <= 0) return kNoAnswer;
    pollfd fd{kBackChannel, POLLIN, 0};
    const int ready = poll(&fd, 1, static_cast<int>(std::min(left, 0.05) * 1000) + 1);
    if (ready < 0 && errno != EINTR) return kChannelClosed;
    if (ready <= 0) continue;
    if (fd.revents & POLLNVAL) return kChannelClosed;
    unsigned char bytes[64];
    const ssize_t got = read(kBackChannel, bytes, sizeof bytes);
    if (got > 0) return bytes[got - 1];
    if (got == 0 || (errno != EAGAIN && errno != EINTR)) return kChannelClosed;
  }
  return kNoAnswer;
}

// Shows the faults of `answer` on the queue: its reasons, and a message while it waits.
void show_faults(printer_follow_t &follow, uint8_t answer) {
  const uint8_t faults = answer & status_bit::kFaults;
  const std::vector<std::string> now = job_reasons(faults);
  if (!follow.cleared) {
    // Reasons an earlier job left, when the printer no longer has them.
    state_line('-', reasons_without(job_reasons(0xFF), now));
    state_line('+', now);
    follow.cleared = true;
  } else {
    const std::vector<std::string> before = job_reasons(follow.reported);
    state_line('-', reasons_without(before, now));
    state_line('+', reasons_without(now, before));
  }
  if (faults != follow.reported) {
    WriteLog("status query: 0x%02X (%s)", answer, StatusWords(answer).c_str());
    if (faults)
      fprintf(stderr, "INFO: Waiting for the printer: %s\n", StatusWords(faults).c_str());
    else if (follow.reported)
      fputs("INFO: The printer is ready again\n", stderr);
  }
  follow.reported = faults;
}

// The printer does not answer any more: shown once, as the socket backend shows a printer
// it can't reach.
void show_offline(printer_follow_t &follow, int page) {
  if (follow.offline) return;
  follow.offline = true;
  WriteLog("status query: no answer during label %d", page);
  fputs("STATE: +offline-report\n", stderr);
  fprintf(stderr, "INFO: Waiting for the printer: it does not answer (label %d, %s)\n", page,
          printed_words(follow.progress.printed).c_str());
}

void show_online(printer_follow_t &follow) {
  if (!follow.offline) return;
  follow.offline = false;
  fputs("STATE: -offline-report\n", stderr);
  fputs("INFO: The printer answers again\n", stderr);
}

// The printer answered the first query of the job with nothing: it is not followed.
bool stop_asking(printer_follow_t &follow, int page, int copies, const char *why) {
  follow.answers = false;
  WriteLog("status query: %s", why);
  fprintf(stderr, "DEBUG: The printer did not answer the status query (%s)\n", why);
  fprintf(stderr, "PAGE: %d %d\n", page, copies);
  return true;
}

bool lost(printer_follow_t &follow, int page, bool unsure) {
  follow.lostLabel = page;
  follow.lostUnsure = unsure;
  WriteLog("printer lost during label %d%s", page, unsure ? " (it may have printed)" : "");
  return false;
}

}  // namespace

bool wants_status_query(int num_options, cups_option_t *options) {
  if (const char *value = cupsGetOption("StatusQuery", num_options, options)) return is_on(value);
  return ppd_wants_status_query();
}

bool lost_label_may_have_printed(double sentAt, double printSeconds, double unansweredAt,
                                 double roundTrip) {
  return unansweredAt + roundTrip + 0.005 >= sentAt + printSeconds;
}

bool start_following(printer_follow_t &follow, const char *uuid) {
  follow.progress = read_job_progress(uuid);
  job_progress_t &progress = follow.progress;
  if (progress.unsure && !progress.told) {
    progress.told = true;
    write_job_progress(progress);
    WriteLog("label %d may have printed in an earlier attempt: stopped", progress.unsure);
    fprintf(stderr,
            "ERROR: Label %d of this job may have printed before the printer went away (%s): "
            "nothing was sent. Restart the job to print from label %d, or cancel it and print "
            "the labels still missing as a new job\n",
            progress.unsure, printed_words(progress.printed).c_str(), progress.unsure);
    return false;
  }
  progress.unsure = 0;
  progress.told = false;
  follow.skip = progress.printed;
  if (follow.skip > 0) {
    WriteLog("labels 1 to %d printed in an earlier attempt", follow.skip);
    fprintf(stderr, "INFO: Going on from label %d (%s before the printer went away)\n",
            follow.skip + 1, printed_words(follow.skip).c_str());
  }
  return true;
}

bool follow_label(printer_follow_t &follow, int page, int copies, double printSeconds) {
  if (!follow.answers) return true;
  // The label can't be out before its printing time has passed while the printer was not
  // stopped by a fault: `startedBy` is when it went out, moved on by every stretch between
  // two answers that both had a fault.
  double startedBy = Now();
  double unansweredAt = -1, faultAnsweredAt = -1;
  bool firstQuery = true;  // its answer waits for the label's bytes to reach the printer
  auto lostNow = [&](double askedAt) {
    return lost(follow, page,
                follow.everAnswered &&
                    lost_label_may_have_printed(startedBy, printSeconds,
                                                unansweredAt < 0 ? askedAt : unansweredAt,
                                                follow.roundTrip));
  };
  while (!g_job_cancelled) {
    drop_late_answers();
    const double askedAt = Now();
    if (!send_query()) return lostNow(askedAt);
    const int answer = read_answer(kAnswerTimeout);
    if (g_job_cancelled) break;
    if (answer < 0 && !follow.everAnswered)
      return stop_asking(follow, page, copies,
                         answer == kChannelClosed ? "no back channel" : "no answer within 5 s");
    if (answer == kChannelClosed) return lostNow(askedAt);
    if (answer == kNoAnswer) {
      if (unansweredAt < 0) unansweredAt = askedAt;
      faultAnsweredAt = -1;
      show_offline(follow, page);
      Pause(kOfflinePoll);
      continue;
    }
    const double answeredAt = Now();
    if (!firstQuery) follow.roundTrip = std::max(follow.roundTrip, answeredAt - askedAt);
    firstQuery = false;
    follow.everAnswered = true;
    unansweredAt = -1;
    show_online(follow);
    show_faults(follow, static_cast<uint8_t>(answer));
    if (follow.reported) {
      if (faultAnsweredAt >= 0) startedBy += askedAt - faultAnsweredAt;
      faultAnsweredAt = answeredAt;
    } else {
      faultAnsweredAt = -1;
    }
    // Not printing: the printer holds no label, so this one is out, whatever fault it
    // has now (the roll may have run out with this very label).
    if (!(answer & status_bit::kPrinting)) {
      fprintf(stderr, "PAGE: %d %d\n", page, copies);
      follow.progress.printed = page;
      if (!write_job_progress(follow.progress))
        WriteLog("could not keep the job's progress in %s", follow.progress.path.c_str());
      return true;
    }
    const double end = startedBy + printSeconds - kEndPollFrom;
    Pause(follow.reported ? kFaultPoll
                          : Now() >= end ? kEndPoll : std::min(kPrintingPoll, end - Now()));
  }
  return true;
}

void lost_while_sending(printer_follow_t &follow, int page) { lost(follow, page, false); }

int end_following(printer_follow_t &follow, bool whole) {
  // A fault the printer still has stays shown (the next job clears it once it is gone);
  // nothing is known of a printer that went away.
  if (follow.lostLabel) state_line('-', job_reasons(follow.reported));
  if (follow.offline) fputs("STATE: -offline-report\n", stderr);
  job_progress_t &progress = follow.progress;
  if (!follow.lostLabel) {
    if (whole) remove_job_progress(progress);
    return 0;
  }
  progress.unsure = follow.lostUnsure ? follow.lostLabel : 0;
  const bool kept = write_job_progress(progress);
  if (follow.lostUnsure) {
    fprintf(stderr,
            "ERROR: The printer went away as label %d of this job came out (%s; label %d may "
            "have printed)%s\n",
            follow.lostLabel, printed_words(progress.printed).c_str(), follow.lostLabel,
            kept && !progress.path.empty() ? ": sent again, the job stops first to ask" : "");
  } else {
    fprintf(stderr, "ERROR: The printer went away during label %d of this job (%s)%s\n",
            follow.lostLabel, printed_words(progress.printed).c_str(),
            kept && !progress.path.empty()
                ? (": sent again, the job goes on from label " + std::to_string(follow.lostLabel)).c_str()
                : "");
  }
  return 1;
}
