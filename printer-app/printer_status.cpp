#include "printer-app/printer_status.h"

#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "core/printer_status.h"
#include "printer-app/net_device.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kAnswerTimeout = 1000ms;  // a printer that answers does so within a few ms
constexpr auto kAskAgain = 1000ms;       // while a fault lasts
constexpr auto kAskWhilePrinting = 50ms; // while the printer prints what it was sent
constexpr auto kLongestLabel = 60s;      // 2 m of label at 2 inches a second, and more

// The printer-state-reasons this code sets, and the bit of the status byte for each.
struct reason_bit_t {
  uint8_t bit;
  pappl_preason_t reason;
};
constexpr reason_bit_t kReasons[] = {
    {status_bit::kHeadOpen, PAPPL_PREASON_COVER_OPEN},
    {status_bit::kPaperJam, PAPPL_PREASON_MEDIA_JAM},
    {status_bit::kPaperOut, PAPPL_PREASON_MEDIA_EMPTY},
    {status_bit::kRibbonOut, PAPPL_PREASON_MARKER_SUPPLY_EMPTY},
    // PAPPL 1.3 has no reason bit for "paused" (its own paused state stops the queue).
    {status_bit::kPaused, PAPPL_PREASON_OTHER},
    {status_bit::kOther, PAPPL_PREASON_OTHER},
};
constexpr pappl_preason_t kOurReasons =
    pappl_preason_t(PAPPL_PREASON_COVER_OPEN | PAPPL_PREASON_MEDIA_JAM | PAPPL_PREASON_MEDIA_EMPTY |
                    PAPPL_PREASON_MARKER_SUPPLY_EMPTY | PAPPL_PREASON_OTHER | PAPPL_PREASON_OFFLINE);

pappl_preason_t ReasonsOf(uint8_t status) {
  unsigned reasons = PAPPL_PREASON_NONE;
  for (const reason_bit_t &r : kReasons)
    if (status & r.bit) reasons |= r.reason;
  return pappl_preason_t(reasons);
}

void ShowReasons(pappl_printer_t *printer, pappl_preason_t reasons) {
  papplPrinterSetReasons(printer, reasons, pappl_preason_t(kOurReasons & ~reasons));
}

// The connections whose printer did not answer: printer -> its connection.
std::mutex g_silentLock;
std::map<pappl_printer_t *, uint64_t> g_silent;

enum class answer_t { kStatus, kSilent, kGone };

// Sends the status query after everything written so far and reads the one-byte answer.
answer_t AskPrinter(pappl_device_t *device, uint8_t &status) {
  papplDeviceWrite(device, kStatusQuery, sizeof kStatusQuery);
  papplDeviceFlush(device);
  const int fd = NetworkSocket(device);
  pollfd in{fd, POLLIN, 0};
  const int ready = poll(&in, 1, static_cast<int>(kAnswerTimeout.count()));
  if (ready == 0) return answer_t::kSilent;
  if (ready < 0) return answer_t::kGone;
  const ssize_t got = recv(fd, &status, 1, 0);
  return got == 1 ? answer_t::kStatus : answer_t::kGone;
}

// Whether the job was cancelled, checked every 100 ms for `time`; says so in its message.
bool CanceledWithin(pappl_job_t *job, std::chrono::milliseconds time, const std::string &words) {
  for (auto slept = 0ms; slept < time; slept += 100ms) {
    if (papplJobIsCanceled(job)) {
      papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Canceled while the printer reported %s", words.c_str());
      papplJobSetMessage(job, "Canceled while the printer reported: %s", words.c_str());
      papplJobSetReasons(job, PAPPL_JREASON_NONE, PAPPL_JREASON_PRINTER_STOPPED);
      return true;
    }
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

}  // namespace

bool ReconnectPrinter(pappl_job_t *job, pappl_device_t *device, unsigned label) {
  pappl_printer_t *printer = papplJobGetPrinter(job);
  if (NetworkSocket(device) < 0) return false;
  // What PAPPL still holds of the lost connection's bytes is dropped with it: the label
  // goes out again whole.
  papplDeviceFlush(device);
  ShowReasons(printer, PAPPL_PREASON_OFFLINE);
  papplLogJob(job, PAPPL_LOGLEVEL_WARN,
              "The printer's connection was lost at label %u: waiting for the printer", label);
  papplJobSetReasons(job, PAPPL_JREASON_PRINTER_STOPPED, PAPPL_JREASON_NONE);
  papplJobSetMessage(job, "Waiting for the printer: offline");
  for (;;) {
    if (ReconnectNetwork(device, static_cast<int>(kAnswerTimeout.count()))) {
      ShowReasons(printer, PAPPL_PREASON_NONE);
      papplLogJob(job, PAPPL_LOGLEVEL_INFO, "The printer is back: label %u goes out again", label);
      papplJobSetReasons(job, PAPPL_JREASON_NONE, PAPPL_JREASON_PRINTER_STOPPED);
      papplJobSetMessage(job, "Printing");
      return true;
    }
    if (CanceledWithin(job, kAskAgain, "offline")) return false;
  }
}

bool WaitForPrinter(pappl_job_t *job, pappl_device_t *device, unsigned labels,
                    std::span<const uint8_t> resend) {
  pappl_printer_t *printer = papplJobGetPrinter(job);
  if (NetworkSocket(device) < 0) return true;
  uint64_t connection = NetworkConnection(device);
  {
    std::lock_guard<std::mutex> lock(g_silentLock);
    const auto known = g_silent.find(printer);
    if (known != g_silent.end() && known->second == connection) return true;
  }

  bool waited = false;
  auto printingSince = std::chrono::steady_clock::now();
  for (;;) {
    uint8_t status = 0;
    const answer_t answer = AskPrinter(device, status);
    if (answer == answer_t::kSilent) {
      papplLogJob(job, PAPPL_LOGLEVEL_INFO,
                  "The printer does not answer the status query; it is not asked again on "
                  "this connection");
      std::lock_guard<std::mutex> lock(g_silentLock);
      g_silent[printer] = connection;
      return true;
    }
    if (answer == answer_t::kGone) {
      // The last label sent may or may not have reached the printer whole: it goes out
      // again on the new connection, and is asked after again.
      if (!ReconnectPrinter(job, device, labels)) return false;
      connection = NetworkConnection(device);
      if (!resend.empty()) papplDeviceWrite(device, resend.data(), resend.size());
      continue;
    }
    ShowReasons(printer, ReasonsOf(status));
    const std::string words = StatusWords(status & status_bit::kFaults);
    if (!(status & status_bit::kFaults)) {
      if (waited) {
        papplLogJob(job, PAPPL_LOGLEVEL_INFO, "The printer is ready again after %u labels", labels);
        papplJobSetMessage(job, "Printing");
        papplJobSetReasons(job, PAPPL_JREASON_NONE, PAPPL_JREASON_PRINTER_STOPPED);
        waited = false;
        printingSince = std::chrono::steady_clock::now();
      }
      // A label the printer is still printing is not yet on paper: the next one goes out,
      // and the job ends, only once it is, so that a printer switched off meanwhile has
      // lost at most the label it was printing, which goes out again.
      if (status != status_bit::kPrinting) return true;
      if (std::chrono::steady_clock::now() - printingSince >= kLongestLabel) {
        papplLogJob(job, PAPPL_LOGLEVEL_WARN, "The printer still reports printing after %u labels: going on",
                    labels);
        return true;
      }
      if (papplJobIsCanceled(job)) return false;
      std::this_thread::sleep_for(kAskWhilePrinting);
      continue;
    }
    if (!waited) {
      papplLogJob(job, PAPPL_LOGLEVEL_WARN, "The printer reports %s after %u labels: waiting",
                  words.c_str(), labels);
      papplJobSetReasons(job, PAPPL_JREASON_PRINTER_STOPPED, PAPPL_JREASON_NONE);
      waited = true;
    }
    papplJobSetMessage(job, "Waiting for the printer: %s", words.c_str());
    if (CanceledWithin(job, kAskAgain, words)) return false;
  }
}
