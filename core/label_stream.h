#pragma once
// Reading the label command stream back: the bytes the filter writes to the printer,
// split into one plain record per label. Used by the label preview and by tests that
// check what the filter printed.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// One label as the stream describes it: its setup, its bitmap and its print command.
// Decimal settings (GAP, OFFSET) are kept in thousandths as written: "0.120" is 120.
struct StreamLabel {
  size_t offset = 0;                    // byte offset of the label's SIZE line
  size_t end = 0;                       // byte offset just past the label's last line
  int32_t widthMm = 0, heightMm = 0;    // SIZE
  int32_t gap = 0, gapOffset = 0;       // GAP or BLINE, thousandths
  bool blackMark = false;               // BLINE: the sensor looks for black marks
  int32_t speed = 0;                    // SPEED
  int32_t density = 0;                  // DENSITY
  int32_t direction = 0, mirror = 0;    // DIRECTION
  int32_t referenceX = 0, referenceY = 0;  // REFERENCE
  int32_t feedOffset = 0;               // OFFSET, thousandths
  int32_t shift = 0;                    // SHIFT
  int32_t peel = 0, cutter = 0, partialCutter = 0, tear = 0;  // SET ..., ON 1 and OFF 0;
                                        // SET CUTTER N (every N labels) is N
  bool cutterBatch = false;             // SET CUTTER BATCH: one cut after the job
  int32_t bitmapX = 0, bitmapY = 0;     // BITMAP origin, in dots
  int32_t widthBytes = 0, height = 0;   // BITMAP size: bytes per row, rows
  std::vector<uint8_t> bits;            // widthBytes * height bytes; a 0 bit is a printed dot
  int32_t sets = 0, copies = 0;         // PRINT sets,copies
  bool printed = true;                  // false: no PRINT followed the bitmap
};

// A printer command that stands alone between labels (calibration, self-test, feed: the
// kPrinterCommands of core/maintenance.h), a line of its own.
struct StreamCommand {
  size_t offset = 0;        // byte offset of its name
  size_t end = 0;           // just past its CR LF
  std::string name;         // "SELFTEST"
  size_t labelsBefore = 0;  // the labels of the stream that come before it
};

struct StreamParse {
  std::vector<StreamLabel> labels;  // every label read whole, up to the error if there is one
  std::vector<StreamCommand> commands;  // every command between labels, in order
  std::string error;                // what is wrong with the stream, "" when it was read whole
  size_t errorOffset = 0;           // byte offset of the fault, counted from 0
  bool cutShort = false;            // the error is only that the stream stops inside a label:
                                    // more bytes may yet make it whole
};

// Reads a label command stream: labels made of the setup lines SIZE, GAP (or BLINE), SPEED,
// DENSITY, DIRECTION, REFERENCE, OFFSET, SHIFT, SET PEEL, SET CUTTER (ON, OFF, a count or
// BATCH), SET PARTIAL_CUTTER, SET TEAR and CLS, in that order, each ended by CR LF; then "BITMAP x,y,widthBytes,
// height,1," with exactly widthBytes * height raw bytes and CR LF; then "PRINT sets,copies".
// A label whose bitmap is followed by the end of the stream or by the next label's SIZE
// has no PRINT: a cancelled job ends its last label so, and it is read as not printed.
// Between labels a line may hold one of the printer's commands that stand alone
// (GAPDETECT, BLINEDETECT, AUTODETECT, SELFTEST, FORMFEED).
// Anything else (an unknown or misplaced command, a malformed or out-of-range number,
// bitmap data that runs short, a stream that ends inside a label) stops the reading
// with an error and its byte offset. Nothing is allocated beyond the bytes present.
// A reader of a stream still arriving tells a label cut short (`cutShort`, or a last label
// not printed) from a broken one.
StreamParse ParseLabelStream(std::span<const uint8_t> stream);
