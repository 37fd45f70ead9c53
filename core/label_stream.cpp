#include "core/label_stream.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "core/maintenance.h"

namespace {

// One command of a label, in the order the label carries them. `args` is what follows
// the command name: literal bytes, and
//   %d a signed decimal integer         %u an unsigned one
//   %t a decimal with up to three places, kept in thousandths
//   %o ON (1) or OFF (0)                %b the bitmap's widthBytes * height raw bytes
//   %c ON, OFF, a count from 1 (kept as it is) or BATCH (0, and cutterBatch set)
// The values, in order, go to `fields`. A command may also go by a second name, which
// sets `flag` (BLINE in place of GAP).
struct CommandShape {
  const char *name;
  const char *args;
  int32_t StreamLabel::*fields[4];
  const char *otherName = nullptr;
  bool StreamLabel::*flag = nullptr;
};

using L = StreamLabel;
constexpr CommandShape kLabelCommands[] = {
    {"SIZE", " %dmm,%dmm\r\n", {&L::widthMm, &L::heightMm}},
    {"GAP", " %t,%t\r\n", {&L::gap, &L::gapOffset}, "BLINE", &L::blackMark},
    {"SPEED", " %d\r\n", {&L::speed}},
    {"DENSITY", " %d\r\n", {&L::density}},
    {"DIRECTION", " %d,%d\r\n", {&L::direction, &L::mirror}},
    {"REFERENCE", " %d,%d\r\n", {&L::referenceX, &L::referenceY}},
    {"OFFSET", " %t\r\n", {&L::feedOffset}},
    {"SHIFT", " %d\r\n", {&L::shift}},
    {"SET PEEL", " %o\r\n", {&L::peel}},
    {"SET CUTTER", " %c\r\n", {&L::cutter}},
    {"SET PARTIAL_CUTTER", " %o\r\n", {&L::partialCutter}},
    {"SET TEAR", " %o\r\n", {&L::tear}},
    {"CLS", "\r\n", {}},
    {"BITMAP", " %d,%d,%u,%u,1,%b\r\n", {&L::bitmapX, &L::bitmapY, &L::widthBytes, &L::height}},
    {"PRINT", " %d,%d\r\n", {&L::sets, &L::copies}},
};

// The stream being read, where the reading is, and the first fault found.
struct Cursor {
  std::span<const uint8_t> bytes;
  size_t pos = 0;
  std::string error;
  size_t errorOffset = 0;
  bool cutShort = false;
};

bool Fail(Cursor &c, size_t offset, std::string message) {
  c.error = std::move(message);
  c.errorOffset = offset;
  return false;
}

bool AtEnd(const Cursor &c) { return c.pos >= c.bytes.size(); }

bool IsNameByte(uint8_t b) { return (b >= 'A' && b <= 'Z') || b == '_'; }

// True when the stream ends at the cursor or holds only the start of `word` there: the
// stream was cut off, whatever was to follow.
bool EndsWithin(const Cursor &c, const char *word) {
  const size_t remaining = c.bytes.size() - c.pos;
  return remaining < strlen(word) && memcmp(c.bytes.data() + c.pos, word, remaining) == 0;
}

// True when the stream ends at the cursor or inside the name of some command.
bool EndsWithinAName(const Cursor &c) {
  for (const CommandShape &shape : kLabelCommands)
    if (EndsWithin(c, shape.name) || (shape.otherName && EndsWithin(c, shape.otherName)))
      return true;
  return false;
}

// Whether the whole word `name` stands at the cursor.
bool NameAt(const Cursor &c, const char *name) {
  const size_t length = strlen(name);
  if (c.bytes.size() - c.pos < length) return false;
  if (memcmp(c.bytes.data() + c.pos, name, length) != 0) return false;
  const size_t after = c.pos + length;
  return after == c.bytes.size() || !IsNameByte(c.bytes[after]);
}

// A command found at the cursor: its shape and the name it goes by there.
struct FoundCommand {
  const CommandShape *shape = nullptr;
  const char *name = nullptr;
};

// The command at the cursor; no shape when no known command starts there.
FoundCommand FindCommand(const Cursor &c) {
  for (const CommandShape &shape : kLabelCommands) {
    if (NameAt(c, shape.name)) return {&shape, shape.name};
    if (shape.otherName && NameAt(c, shape.otherName)) return {&shape, shape.otherName};
  }
  return {};
}

// True when the stream ends inside the name of a command that stands alone: "GAP" at the
// very end may yet be GAPDETECT.
bool EndsWithinAStandalone(const Cursor &c) {
  for (const printer_command_t &command : kPrinterCommands)
    if (EndsWithin(c, command.name)) return true;
  return false;
}

// The printer command that stands alone at the cursor, or null.
const char *StandaloneAt(const Cursor &c) {
  for (const printer_command_t &command : kPrinterCommands)
    if (NameAt(c, command.name)) return command.name;
  return nullptr;
}

// The first word at the cursor (two when it is SET), quoted for a message, with bytes
// that don't print shown as \xNN.
std::string QuotedWord(const Cursor &c) {
  std::string word = "\"";
  int spaces = 0;
  for (size_t i = c.pos; i < c.bytes.size() && i < c.pos + 24; ++i) {
    const uint8_t b = c.bytes[i];
    if (b == '\r' || b == '\n') break;
    if (b == ' ' && (++spaces > 1 || word != "\"SET")) break;
    if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\') {
      word += static_cast<char>(b);
    } else {
      char hex[8];
      snprintf(hex, sizeof hex, "\\x%02X", b);
      word += hex;
    }
  }
  return word + "\"";
}

// Reads a number of the kind %d, %u or %t at the cursor into `value`.
bool ReadNumber(Cursor &c, char kind, const char *command, int32_t &value) {
  const size_t start = c.pos;
  const std::string where = std::string(" in ") + command;
  bool negative = false;
  if (kind != 'u' && !AtEnd(c) && c.bytes[c.pos] == '-') {
    negative = true;
    ++c.pos;
  }
  int64_t magnitude = 0;
  bool tooBig = false;
  size_t digits = 0;
  for (; !AtEnd(c) && c.bytes[c.pos] >= '0' && c.bytes[c.pos] <= '9'; ++c.pos, ++digits) {
    magnitude = magnitude * 10 + (c.bytes[c.pos] - '0');
    if (magnitude > int64_t{INT32_MAX} + 1) {
      tooBig = true;
      magnitude = 0;  // keeps scanning the digits without overflow
    }
  }
  if (digits == 0) return AtEnd(c) ? false : Fail(c, start, "malformed number" + where);
  if (kind == 't') {
    int places = 0;
    if (!AtEnd(c) && c.bytes[c.pos] == '.') {
      ++c.pos;
      for (; !AtEnd(c) && c.bytes[c.pos] >= '0' && c.bytes[c.pos] <= '9'; ++c.pos, ++places) {
        if (places == 3) return Fail(c, start, "malformed number" + where);
        magnitude = magnitude * 10 + (c.bytes[c.pos] - '0');
      }
      if (places == 0) return AtEnd(c) ? false : Fail(c, start, "malformed number" + where);
    }
    for (; places < 3; ++places) magnitude *= 10;
  }
  const int64_t signedValue = negative ? -magnitude : magnitude;
  if (tooBig || signedValue > INT32_MAX || signedValue < INT32_MIN)
    return Fail(c, start, "number out of range" + where);
  value = static_cast<int32_t>(signedValue);
  return true;
}

// Reads ON or OFF at the cursor.
bool ReadSwitch(Cursor &c, const char *command, int32_t &value) {
  for (const auto &[word, setting] : {std::pair{"ON", 1}, std::pair{"OFF", 0}}) {
    const size_t length = strlen(word);
    if (c.bytes.size() - c.pos >= length && memcmp(c.bytes.data() + c.pos, word, length) == 0 &&
        (c.pos + length == c.bytes.size() || !IsNameByte(c.bytes[c.pos + length]))) {
      c.pos += length;
      value = setting;
      return true;
    }
  }
  if (EndsWithin(c, "ON") || EndsWithin(c, "OFF")) return false;
  return Fail(c, c.pos, std::string("malformed ") + command + " line: ON or OFF expected");
}

// Reads what SET CUTTER is set to: ON, OFF, after every N labels, or BATCH.
bool ReadCutter(Cursor &c, const char *command, StreamLabel &label, int32_t &value) {
  if (NameAt(c, "BATCH")) {
    c.pos += strlen("BATCH");
    value = 0;
    label.cutterBatch = true;
    return true;
  }
  if (!AtEnd(c) && c.bytes[c.pos] >= '0' && c.bytes[c.pos] <= '9') {
    const size_t start = c.pos;
    if (!ReadNumber(c, 'u', command, value)) return false;
    if (value < 1) return Fail(c, start, std::string("number out of range in ") + command);
    return true;
  }
  if (EndsWithin(c, "BATCH")) return false;
  if (!NameAt(c, "ON") && !NameAt(c, "OFF") && !EndsWithin(c, "ON") && !EndsWithin(c, "OFF"))
    return Fail(c, c.pos,
                std::string("malformed ") + command + " line: ON, OFF, BATCH or a count expected");
  return ReadSwitch(c, command, value);
}

// Reads the bitmap bytes the label's BITMAP line announced, checking first that the
// stream holds them all.
bool ReadBitmap(Cursor &c, StreamLabel &label) {
  const uint64_t size = uint64_t(uint32_t(label.widthBytes)) * uint32_t(label.height);
  const size_t remaining = c.bytes.size() - c.pos;
  if (size > remaining) {
    c.cutShort = true;
    return Fail(c, c.pos, "BITMAP data runs short: " + std::to_string(size) +
                              " bytes announced, " + std::to_string(remaining) + " present");
  }
  label.bits.assign(c.bytes.begin() + c.pos, c.bytes.begin() + c.pos + size);
  c.pos += size;
  return true;
}

// Reads what follows the command name. Returns false with no error set when the stream
// ended first.
bool ReadArguments(Cursor &c, const CommandShape &shape, StreamLabel &label) {
  int field = 0;
  for (const char *a = shape.args; *a; ++a) {
    if (*a == '%') {
      const char kind = *++a;
      bool ok = true;
      if (kind == 'b') {
        ok = ReadBitmap(c, label);
      } else if (kind == 'o') {
        ok = ReadSwitch(c, shape.name, label.*shape.fields[field++]);
      } else if (kind == 'c') {
        ok = ReadCutter(c, shape.name, label, label.*shape.fields[field++]);
      } else {
        ok = ReadNumber(c, kind, shape.name, label.*shape.fields[field++]);
      }
      if (!ok) return false;
      continue;
    }
    if (AtEnd(c)) return false;
    if (c.bytes[c.pos] != static_cast<uint8_t>(*a)) {
      if (*a == '\r' && c.bytes[c.pos] == '\n')
        return Fail(c, c.pos, std::string(shape.name) + " line ends in LF without CR");
      if (*a == '\r')
        return Fail(c, c.pos, std::string("malformed ") + shape.name + " line: CR LF expected");
      return Fail(c, c.pos, std::string("malformed ") + shape.name + " line");
    }
    ++c.pos;
  }
  return true;
}

}  // namespace

StreamParse ParseLabelStream(std::span<const uint8_t> stream) {
  Cursor c;
  c.bytes = stream;
  StreamParse parse;
  while (!AtEnd(c) && c.error.empty()) {
    if (const char *name = StandaloneAt(c)) {
      StreamCommand command{c.pos, 0, name, parse.labels.size()};
      c.pos += strlen(name);
      const size_t left = c.bytes.size() - c.pos;
      if (left < 2 && EndsWithin(c, "\r\n")) {
        Fail(c, stream.size(), std::string("stream ends inside the ") + name + " line");
        c.cutShort = true;
        break;
      }
      if (left < 2 || memcmp(c.bytes.data() + c.pos, "\r\n", 2) != 0) {
        Fail(c, c.pos, std::string("malformed ") + name + " line: CR LF expected");
        break;
      }
      c.pos += 2;
      command.end = c.pos;
      parse.commands.push_back(std::move(command));
      continue;
    }
    StreamLabel label;
    label.offset = c.pos;
    const std::string number = std::to_string(parse.labels.size() + 1);
    bool whole = true;
    for (const CommandShape &expected : kLabelCommands) {
      const FoundCommand found = FindCommand(c);
      if (&expected == &kLabelCommands[std::size(kLabelCommands) - 1] &&
          (AtEnd(c) || found.shape == &kLabelCommands[0] || StandaloneAt(c))) {
        label.printed = false;
        break;
      }
      if ((!found.shape && EndsWithinAName(c)) || EndsWithinAStandalone(c)) {
        whole = false;
      } else if (!found.shape) {
        const std::string word = QuotedWord(c);
        Fail(c, c.pos, word == "\"\"" ? "empty line where a command belongs"
                                     : "unknown command " + word);
      } else if (found.shape != &expected) {
        Fail(c, c.pos, std::string("expected ") + expected.name + " in label " + number +
                           ", found " + found.name);
      } else {
        c.pos += strlen(found.name);
        if (found.name != expected.name) label.*expected.flag = true;
        whole = ReadArguments(c, expected, label);
      }
      if (!c.error.empty() || !whole) break;
    }
    if (!c.error.empty()) break;
    if (!whole) {
      Fail(c, stream.size(), "stream ends inside label " + number);
      c.cutShort = true;
      break;
    }
    label.end = c.pos;
    parse.labels.push_back(std::move(label));
  }
  parse.error = c.error;
  parse.errorOffset = c.errorOffset;
  parse.cutShort = c.cutShort;
  return parse;
}
