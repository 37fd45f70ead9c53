#include "filter/printer_status.h"

#include <cups/sidechannel.h>
#include <cups/ppd.h>
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/printer_status.h"
#include "cupsutil/cups_handles.h"
#include "filter/log.h"

namespace {

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
    bool known = false;
    for (const std::string &r : reasons) known = known || r == reason;
    if (!known) reasons.push_back(std::move(reason));
  }
  return reasons;
}

}  // namespace

bool wants_status_query(int num_options, cups_option_t *options) {
  if (const char *value = cupsGetOption("StatusQuery", num_options, options)) return is_on(value);
  return ppd_wants_status_query();
}

int check_printer_status(double timeout) {
  fwrite(kStatusQuery, 1, sizeof kStatusQuery, stdout);
  if (fflush(stdout) != 0) {
    fputs("ERROR: Unable to write print data\n", stderr);
    return 1;
  }
  WriteLog("status query sent");

  unsigned char answer = 0;
  const ssize_t got = cupsBackChannelRead(reinterpret_cast<char *>(&answer), 1, timeout);
  if (got != 1) {
    // Many printers of this kind never answer; nothing is known, nothing is claimed.
    WriteLog("status query: no answer within %.1f s", timeout);
    fputs("DEBUG: The printer did not answer the status query\n", stderr);
    return 0;
  }
  WriteLog("status query: 0x%02X (%s)", answer, StatusWords(answer).c_str());
  const std::vector<std::string> reasons = job_reasons(answer);
  std::vector<std::string> cleared;
  for (const std::string &reason : job_reasons(0xFF)) {
    bool present = false;
    for (const std::string &r : reasons) present = present || r == reason;
    if (!present) cleared.push_back(reason);
  }
  state_line('-', cleared);
  if (!(answer & status_bit::kFaults)) return 0;
  state_line('+', reasons);
  fprintf(stderr, "ERROR: The printer reports: %s; labels of this job may not have printed\n",
          StatusWords(answer & status_bit::kFaults).c_str());
  return 1;
}
