#pragma once
// The job settings record: every setting that reaches the label command stream,
// filled once per job by the settings layers and only read afterwards.

#include <cstdint>

struct label_doc_t {
  int16_t speed;          // SPEED, in the printer's units (option value / 10)
  int16_t darkness;       // DENSITY
  int16_t mediaTracking;  // GAP or BLINE: 0 gap, 1 black mark, 2 continuous
  int16_t labelWidth;     // SIZE width, whole millimetres
  int16_t labelHeight;    // SIZE height, whole millimetres
  int16_t referenceX;     // REFERENCE x, always 0
  int16_t referenceY;     // REFERENCE y, always 0
  int16_t horizontal;     // BITMAP x origin
  int16_t vertical;       // BITMAP y origin
  int16_t mode;           // gray-to-bitmap conversion rule
  // The stock and the finishing. Each starts at the value that writes the command the
  // way every label has always had it, so a record that never sets them prints as before.
  int16_t gapHeight = 305;  // GAP or BLINE height, hundredths of a millimetre (0.120 in)
  int16_t gapOffset = 0;    // GAP or BLINE offset (the extra feed), hundredths of a mm
  int16_t labelMode = 0;    // after printing: a label_mode_t
  int16_t cutInterval = 1;  // SET CUTTER N in the cutter mode: cut after every N labels
  int16_t tearOffset = 0;   // OFFSET: where the label stops, hundredths of a millimetre
  int16_t shift = 0;        // SHIFT: fine vertical print position, dots
  int16_t direction = 0;    // a print_direction_t
};

// What the printer does with a label once it is printed.
enum label_mode_t : int16_t {
  kTearOff = 0,        // stops it at the tear bar
  kPeelOff = 1,        // peels it off its liner
  kCutter = 2,         // cuts after every cutInterval labels
  kCutterDelayed = 3,  // cuts once, after the job's last label
};

// How the label runs under the head: DIRECTION 0,0, 1,0 (labels that come out upside
// down) or 0,1 (mirrored, for transparent stock).
enum print_direction_t : int16_t { kDirectionNormal = 0, kDirectionUpsideDown = 1,
                                   kDirectionMirrored = 2 };

// What the media sensor looks for: a gap between labels, a black mark on the liner's
// back, or nothing (continuous stock).
enum media_tracking_t : int16_t { kTrackingGap = 0, kTrackingMark = 1, kTrackingContinuous = 2 };

// Built-in defaults, the lowest of the three settings layers.
inline constexpr int16_t kDefaultSpeed = 4;
inline constexpr int16_t kDefaultDarkness = 7;
inline constexpr int16_t kDefaultMediaTracking = 0;
inline constexpr int16_t kDefaultLabelWidth = 60;
inline constexpr int16_t kDefaultLabelHeight = 40;
inline constexpr int16_t kDefaultMode = 5;

// What a 16-bit field of the record keeps of a 32-bit result: its low 16 bits.
inline int16_t low_16_bits(int32_t value) { return static_cast<int16_t>(value); }
