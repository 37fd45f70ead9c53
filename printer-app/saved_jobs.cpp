#include "printer-app/saved_jobs.h"

#include <cstdlib>
#include <sstream>

namespace {

// PAPPL writes each job as one line, `Job name="value" ...`, every value quoted with its
// quotes and backslashes escaped: an unescaped ` name="` only starts a value.
constexpr const char *kProcessing = " state=\"5\"";  // IPP_JSTATE_PROCESSING
constexpr const char *kAborted = " state=\"8\"";     // IPP_JSTATE_ABORTED
constexpr const char *kReasons = " state_reasons=\"";
constexpr unsigned long kAbortedBySystem = 0x1;      // PAPPL_JREASON_ABORTED_BY_SYSTEM

std::string EndJobLine(std::string line, std::time_t now) {
  line.replace(line.find(kProcessing), std::string(kProcessing).size(), kAborted);
  const size_t reasons = line.find(kReasons);
  if (reasons == std::string::npos) {
    line += std::string(kReasons) + std::to_string(kAbortedBySystem) + "\"";
  } else {
    const size_t value = reasons + std::string(kReasons).size(), end = line.find('"', value);
    const unsigned long bits = strtoul(line.substr(value, end - value).c_str(), nullptr, 10);
    line.replace(value, end - value, std::to_string(bits | kAbortedBySystem));
  }
  if (line.find(" completed=\"") == std::string::npos)
    line += " completed=\"" + std::to_string(static_cast<long long>(now)) + "\"";
  return line;
}

}  // namespace

std::string EndInterruptedJobs(const std::string &state, std::time_t now, int &ended) {
  ended = 0;
  std::istringstream lines(state);
  std::string out;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("Job ", 0) == 0 && line.find(kProcessing) != std::string::npos) {
      line = EndJobLine(std::move(line), now);
      ++ended;
    }
    out += line;
    if (!lines.eof()) out += '\n';
  }
  return out;
}
