#include "virtual-printer/printer_model.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "picture/label_image.h"

namespace {

// A whole non-negative decimal number, or nothing.
std::optional<uint64_t> WholeNumber(const std::string &text) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::strtoull(text.c_str(), nullptr, 10);
}

// Where the next label's SIZE starts at a line start at or after `from`, or npos.
size_t NextLabelStart(const std::vector<uint8_t> &bytes, size_t from) {
  static constexpr char kSize[] = "\nSIZE ";
  const auto found = std::search(bytes.begin() + std::min(from, bytes.size()), bytes.end(),
                                 kSize, kSize + sizeof kSize - 1);
  return found == bytes.end() ? std::string::npos : size_t(found - bytes.begin()) + 1;
}

}  // namespace

std::string ReadOrders(const std::string &text, PrinterOrders &orders) {
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string order, value, extra;
    words >> order >> value >> extra;
    if (order.empty() || order[0] == '#') continue;
    const std::string where = "line " + std::to_string(number) + ": ";
    const bool takesNumber = order == "out-of-paper-after" || order == "drop-after";
    if (!extra.empty() || (!takesNumber && !value.empty()))
      return where + "\"" + order + "\" takes " + (takesNumber ? "one number" : "no value");
    if (takesNumber) {
      const std::optional<uint64_t> n = WholeNumber(value);
      if (!n) return where + "\"" + order + "\" takes a whole number, not \"" + value + "\"";
      if (order == "drop-after") {
        orders.dropAfter = *n;
      } else {
        orders.paperLabels = static_cast<int64_t>(*n);
      }
      continue;
    }
    if (order == "out-of-paper") orders.paperLabels = 0;
    else if (order == "head-open") orders.headOpen = true;
    else if (order == "paper-jam") orders.paperJam = true;
    else if (order == "ribbon-out") orders.ribbonOut = true;
    else if (order == "paused") orders.paused = true;
    else if (order == "error") orders.otherError = true;
    else if (order == "offline") orders.offline = true;
    else if (order == "real-speed") orders.realSpeed = true;
    else if (order == "no-status") orders.noStatus = true;
    else return where + "unknown order \"" + order + "\"";
  }
  return "";
}

PrinterOrders MergeOrders(const PrinterOrders &a, const PrinterOrders &b) {
  PrinterOrders m;
  if (a.paperLabels && b.paperLabels) m.paperLabels = std::min(*a.paperLabels, *b.paperLabels);
  else m.paperLabels = a.paperLabels ? a.paperLabels : b.paperLabels;
  if (a.dropAfter && b.dropAfter) m.dropAfter = std::min(*a.dropAfter, *b.dropAfter);
  else m.dropAfter = a.dropAfter ? a.dropAfter : b.dropAfter;
  m.headOpen = a.headOpen || b.headOpen;
  m.paperJam = a.paperJam || b.paperJam;
  m.ribbonOut = a.ribbonOut || b.ribbonOut;
  m.paused = a.paused || b.paused;
  m.otherError = a.otherError || b.otherError;
  m.offline = a.offline || b.offline;
  m.realSpeed = a.realSpeed || b.realSpeed;
  m.noStatus = a.noStatus || b.noStatus;
  return m;
}

uint8_t StatusByte(const PrinterOrders &orders, bool paperOut, bool printing) {
  using namespace status_bit;
  return (orders.headOpen ? kHeadOpen : 0) | (orders.paperJam ? kPaperJam : 0) |
         (paperOut ? kPaperOut : 0) | (orders.ribbonOut ? kRibbonOut : 0) |
         (orders.paused ? kPaused : 0) | (printing ? kPrinting : 0) |
         (orders.otherError ? kOther : 0);
}

bool Stopped(const PrinterOrders &orders, bool paperOut) {
  return StatusByte(orders, paperOut, false) != 0;
}

std::string RefusalOf(const StreamLabel &label, int dpi, int headWidthMm) {
  if (label.widthMm < 1 || label.heightMm < 1)
    return "label size " + std::to_string(label.widthMm) + " x " + std::to_string(label.heightMm) +
           " mm";
  if (label.widthMm > headWidthMm)
    return "label " + std::to_string(label.widthMm) + " mm wide on a " +
           std::to_string(headWidthMm) + " mm head";
  if (MmToDots(label.heightMm, dpi) > kMaxLabelDots)
    return "label " + std::to_string(label.heightMm) + " mm long";
  if (label.density < 0 || label.density > 15)
    return "DENSITY " + std::to_string(label.density) + " (0 to 15)";
  if (label.speed < 1 || label.speed > 18)
    return "SPEED " + std::to_string(label.speed) + " (1 to 18)";
  if (label.sets < 0 || label.copies < 0)
    return "PRINT " + std::to_string(label.sets) + "," + std::to_string(label.copies);
  return "";
}

double PrintSeconds(const StreamLabel &label) {
  return label.heightMm / (std::max(label.speed, 1) * 25.4);
}

std::vector<InputItem> TakeInput(StreamInput &input, std::span<const uint8_t> bytes,
                                 size_t maxPending) {
  std::vector<InputItem> items;
  std::vector<uint8_t> &pending = input.pending;
  pending.insert(pending.end(), bytes.begin(), bytes.end());
  size_t at = 0;  // what of `pending` is taken
  auto refuse = [&](std::string why) {
    items.push_back({InputItem::kRefused, {}, std::move(why)});
    input.skipping = true;
  };
  while (at < pending.size()) {
    if (input.skipping) {
      const size_t next = NextLabelStart(pending, at);
      if (next == std::string::npos) {
        // Keep what could be the start of "\nSIZE " for the next bytes.
        at = std::max(at, pending.size() - std::min<size_t>(pending.size(), 5));
        break;
      }
      at = next;
      input.skipping = false;
    }
    const size_t left = pending.size() - at;
    if (pending[at] == kStatusQuery[0]) {
      if (left < sizeof kStatusQuery) break;
      if (memcmp(pending.data() + at, kStatusQuery, sizeof kStatusQuery) == 0) {
        items.push_back({InputItem::kStatusQuery, {}, {}});
      } else {
        char hex[16];
        snprintf(hex, sizeof hex, "%02X %02X", pending[at + 1], pending[at + 2]);
        items.push_back({InputItem::kRefused, {},
                         "byte " + std::to_string(input.consumed + at) +
                             ": unknown command ESC " + hex});
      }
      at += sizeof kStatusQuery;
      continue;
    }
    const StreamParse parse = ParseLabelStream({pending.data() + at, left});
    size_t used = 0;
    size_t command = 0;  // the next of parse.commands
    auto commandsBefore = [&](size_t label) {
      for (; command < parse.commands.size() && parse.commands[command].labelsBefore <= label;
           ++command) {
        items.push_back({InputItem::kCommand, {}, parse.commands[command].name});
        used = parse.commands[command].end;
      }
    };
    bool waiting = false;
    for (size_t i = 0; i < parse.labels.size() && !waiting; ++i) {
      const StreamLabel &label = parse.labels[i];
      commandsBefore(i);
      // A last label without PRINT may only be waiting for it.
      waiting = !label.printed && i + 1 == parse.labels.size() && parse.error.empty() &&
                label.end == left;
      if (waiting) break;
      if (label.printed) items.push_back({InputItem::kLabel, label, {}});
      else
        items.push_back({InputItem::kRefused, {},
                         "byte " + std::to_string(input.consumed + at + label.offset) +
                             ": a label with no PRINT (not printed)"});
      used = label.end;
    }
    if (!waiting) commandsBefore(parse.labels.size());
    at += used;
    if (used > 0) continue;
    if (parse.error.empty()) break;                   // a bitmap waiting for its PRINT
    if (parse.cutShort && left <= maxPending) break;  // the rest of the label is on its way
    // What can't be read is skipped from where it goes wrong up to the next label's SIZE.
    if (parse.cutShort) {
      refuse("byte " + std::to_string(input.consumed + at) + ": a label larger than " +
             std::to_string(maxPending) + " bytes");
      ++at;
    } else {
      refuse("byte " + std::to_string(input.consumed + at + parse.errorOffset) + ": " +
             parse.error);
      at += std::max<size_t>(parse.errorOffset, 1);
    }
  }
  pending.erase(pending.begin(), pending.begin() + std::min(at, pending.size()));
  input.consumed += at;
  return items;
}

std::optional<std::string> EndInput(StreamInput &input) {
  if (input.pending.empty() || input.skipping) {
    input.pending.clear();
    return std::nullopt;
  }
  const std::string why = "the connection ended inside a label at byte " +
                          std::to_string(input.consumed) + " (" +
                          std::to_string(input.pending.size()) + " bytes not printed)";
  input.consumed += input.pending.size();
  input.pending.clear();
  return why;
}
