#include "core/printer_status.h"

#include <iterator>

namespace {

using namespace status_bit;
constexpr StatusCondition kConditions[] = {
    {kHeadOpen, "cover-open-error", "head open"},
    {kPaperJam, "media-jam-error", "paper jam"},
    {kPaperOut, "media-empty-error", "out of paper"},
    {kRibbonOut, "marker-supply-empty-error", "out of ribbon"},
    {kPaused, "paused", "paused"},
    {kPrinting, "", "printing"},
    {0x40, "", "bit 6"},
    {kOther, "other-error", "error"},
};

}  // namespace

std::span<const StatusCondition> StatusConditions() { return kConditions; }

std::string StatusWords(uint8_t status) {
  std::string text;
  for (const StatusCondition &c : kConditions) {
    if (!(status & c.bit)) continue;
    if (!text.empty()) text += ", ";
    text += c.words;
  }
  return text.empty() ? "ready" : text;
}

std::vector<std::string> StatusReasons(uint8_t status) {
  std::vector<std::string> reasons;
  for (const StatusCondition &c : kConditions)
    if ((status & c.bit) && *c.reason) reasons.emplace_back(c.reason);
  return reasons;
}

std::vector<std::string> AllStatusReasons() { return StatusReasons(0xFF); }
