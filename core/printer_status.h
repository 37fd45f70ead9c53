#pragma once
// The printer's status query and its answer: ESC ! ? (0x1B 0x21 0x3F), answered at once
// with one byte, 0 when the printer is ready, else one bit per condition. What each bit
// means to a user and which IPP printer-state-reasons keyword names it.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

inline constexpr uint8_t kStatusQuery[] = {0x1B, 0x21, 0x3F};

namespace status_bit {
inline constexpr uint8_t kHeadOpen = 0x01, kPaperJam = 0x02, kPaperOut = 0x04,
                         kRibbonOut = 0x08, kPaused = 0x10, kPrinting = 0x20, kOther = 0x80;
// The conditions that stop the printer: every bit but "printing" (and the unused bit 6).
inline constexpr uint8_t kFaults = kHeadOpen | kPaperJam | kPaperOut | kRibbonOut | kPaused | kOther;
}  // namespace status_bit

struct StatusCondition {
  uint8_t bit;
  const char *reason;  // its printer-state-reasons keyword; "" when it is no fault
  const char *words;   // in a user's words
};

// Every condition with a bit, in bit order.
std::span<const StatusCondition> StatusConditions();

// "head open, out of paper": the conditions of a status byte in a user's words, "ready"
// for 0. Bits without a meaning show as "bit 6".
std::string StatusWords(uint8_t status);

// The printer-state-reasons keywords of the faults of a status byte ("printing" is none).
std::vector<std::string> StatusReasons(uint8_t status);

// Every keyword StatusReasons can give, so that a client can clear the ones no longer true.
std::vector<std::string> AllStatusReasons();
