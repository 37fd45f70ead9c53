#pragma once
// What the virtual printer does with the bytes it is sent, apart from the socket: the
// faults it is ordered to have, the status byte it answers with, the labels it refuses,
// and the splitting of a stream still arriving into labels and status queries.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/label_stream.h"
#include "core/printer_status.h"

// The faults the printer is ordered to have, from its command line or its control file.
struct PrinterOrders {
  std::optional<int64_t> paperLabels;  // the roll holds this many more labels
  bool headOpen = false, paperJam = false, ribbonOut = false, paused = false;
  bool otherError = false;             // a fault the status byte has no bit of its own for
  bool offline = false;                // switched off: refuses connections
  std::optional<uint64_t> dropAfter;   // closes each connection after this many bytes
  bool realSpeed = false;              // each label takes as long as its SPEED makes it take
  bool noStatus = false;               // never answers the status query
};

// Reads orders, one a line: "out-of-paper-after N", "out-of-paper", "head-open",
// "paper-jam", "ribbon-out", "paused", "error", "offline", "drop-after N", "real-speed",
// "no-status"; blank lines and lines starting with # are skipped. Each order adds to
// `orders`. Returns "" or what is wrong, with its line number.
std::string ReadOrders(const std::string &text, PrinterOrders &orders);

// The orders of both sources together: a fault ordered in either holds.
PrinterOrders MergeOrders(const PrinterOrders &a, const PrinterOrders &b);

// The status byte of a printer with these orders, whose roll is empty or not and which has
// labels waiting or being printed or not.
uint8_t StatusByte(const PrinterOrders &orders, bool paperOut, bool printing);

// True when the printer prints nothing now: a fault stops it.
bool Stopped(const PrinterOrders &orders, bool paperOut);

// Why the printer refuses a label it read whole, or "" when it prints it: a size it can't
// make (none, wider than the head, longer than it can draw), a density or speed it does
// not have, a negative count.
std::string RefusalOf(const StreamLabel &label, int dpi, int headWidthMm);

// Seconds one copy of `label` takes at the speed it asks for (inches a second).
double PrintSeconds(const StreamLabel &label);

// The printer's reading of one connection: bytes not yet made into labels.
struct StreamInput {
  std::vector<uint8_t> pending;
  uint64_t consumed = 0;  // bytes of the connection before `pending`
  bool skipping = false;  // after a refused stretch: looking for the next label's SIZE
};

// What the bytes of a connection hold, in the order they came.
struct InputItem {
  enum Kind { kLabel, kStatusQuery, kCommand, kRefused } kind;
  StreamLabel label;    // kLabel: read whole, with its PRINT
  std::string text;     // kCommand: its name ("SELFTEST"); kRefused: what was refused, in a
                        // user's words
};

// Adds `bytes` to the connection's input and takes out everything now whole: labels with
// their PRINT, the printer's own commands between labels (calibration, self-test, feed),
// status queries (ESC ! ? where a label may begin), and refusals of what the printer can't
// read (after which it looks for the next label). A label not yet whole stays
// pending; `maxPending` bounds how much of one the printer holds before refusing it.
std::vector<InputItem> TakeInput(StreamInput &input, std::span<const uint8_t> bytes,
                                 size_t maxPending);

// At the end of a connection: what was left unread, as a refusal, or nothing.
std::optional<std::string> EndInput(StreamInput &input);
