#pragma once
// The job settings record: every setting that reaches the label command stream,
// filled once per job by the settings layers and only read afterwards.

#include <cstdint>

struct label_doc_t {
  int16_t speed;          // SPEED, in the printer's units (option value / 10)
  int16_t darkness;       // DENSITY
  int16_t mediaTracking;  // stored and logged; no command carries it
  int16_t labelWidth;     // SIZE width, whole millimetres
  int16_t labelHeight;    // SIZE height, whole millimetres
  int16_t referenceX;     // REFERENCE x, always 0
  int16_t referenceY;     // REFERENCE y, always 0
  int16_t horizontal;     // BITMAP x origin
  int16_t vertical;       // BITMAP y origin
  int16_t mode;           // gray-to-bitmap conversion rule
};

// Built-in defaults, the lowest of the three settings layers.
inline constexpr int16_t kDefaultSpeed = 4;
inline constexpr int16_t kDefaultDarkness = 7;
inline constexpr int16_t kDefaultMediaTracking = 0;
inline constexpr int16_t kDefaultLabelWidth = 60;
inline constexpr int16_t kDefaultLabelHeight = 40;
inline constexpr int16_t kDefaultMode = 5;

// What a 16-bit field of the record keeps of a 32-bit result: its low 16 bits.
inline int16_t low_16_bits(int32_t value) { return static_cast<int16_t>(value); }
