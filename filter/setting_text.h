#pragma once
// Setting texts (PPD attribute values and job option values) turned into the numbers of
// the job settings record. Both settings layers read their texts through these, so a
// value means the same wherever it comes from.

#include <cstdint>
#include <string>

#include "core/label_doc.h"
#include "core/page_list.h"  // truncate_to_int

// The leading integer of `text`, read as atoi reads it: optional white space, an optional
// sign, then decimal digits up to the first other character; 0 when no digit follows, and
// for a null text. A number beyond the 32-bit range is held at INT32_MAX or INT32_MIN.
int32_t leading_int(const char *text);

// The record fields that one integer setting text sets.
enum class int_setting_t { darkness, speed, vertical, horizontal, mediaTracking, mode, gapHeight,
                           gapOffset, labelMode, cutInterval, tearOffset, shift, direction };

// The settings of the stock and the finishing, which both layers read under these names
// ("Default" before them in the PPD), with their record fields.
struct named_setting_t {
  const char *name;
  int_setting_t field;
  const char *fieldName;  // in the log
};
inline constexpr named_setting_t kMediaSettings[] = {
    {"GapHeight", int_setting_t::gapHeight, "gapHeight"},
    {"GapOffset", int_setting_t::gapOffset, "gapOffset"},
    {"LabelMode", int_setting_t::labelMode, "labelMode"},
    {"CutInterval", int_setting_t::cutInterval, "cutInterval"},
    {"TearOffset", int_setting_t::tearOffset, "tearOffset"},
    {"PrintShift", int_setting_t::shift, "shift"},
    {"PrintDirection", int_setting_t::direction, "direction"},
};

// The stored value of `field`, as its log line shows it.
int16_t int_setting(const label_doc_t &doc, int_setting_t field);

// The text that last set one of the settings the printer has limits for, kept for the
// message that refuses it: the name the job gives it ("Darkness"), its value as given, and
// whether it is the queue's PPD default. No name: the built-in default holds, which the
// printer always takes.
struct setting_source_t {
  std::string name;
  std::string value;
  bool queueDefault = false;
  bool sizeFits = true;  // PageSize: the size asked for fits the record as it was asked
};

// The sources of the settings with limits: darkness, speed and the label size.
struct limited_settings_t {
  setting_source_t darkness, speed, pageSize;
};

// Notes that `name`=`value` (from the queue's PPD when `queueDefault`) set `field`, when
// `sources` is given and the field is one with limits.
void note_setting(limited_settings_t *sources, int_setting_t field, const char *name,
                  const char *value, bool queueDefault);

// Stores the leading integer of `value` in `field`. Speeds are given ten times finer than
// the printer takes them: the speed is divided by 10, truncating toward zero.
void store_int_setting(label_doc_t &doc, int_setting_t field, const char *value);

// A page size text names a custom size when it holds "Custom" anywhere.
bool is_custom_size(const char *text);

struct custom_size_t {
  float width;
  float height;
};

// The two numbers of "Custom.<width>x<height>...", read exactly as
// sscanf(text, "Custom.%fx%f", ...) reads them: the reading stops where the text stops
// fitting, and a number it does not reach stays 0. What follows the height (a unit) is
// not read. A number too large for a float reads as infinity, never as undefined.
custom_size_t parse_custom_size(const char *text);

// The length units a custom size may name, in the order they are looked for anywhere in
// its text; the first found decides. Metres, last, have no text of their own.
enum length_unit_t { kMillimetres, kPoints, kCentimetres, kInches, kFeet, kMetres };

// The first of "mm", "pt", "cm", "in" and "ft" that `text` holds anywhere; kMetres when
// it holds none of them.
length_unit_t find_unit(const char *text);

// The unit's name in the log: "mm", "pt", "cm", "in", "ft" or "m".
const char *unit_label(length_unit_t unit);

// Whether `text` ends right after a number: its last character is a digit or a full stop.
bool ends_in_number(const char *text);

// `n` of `unit` in millimetres, in the precision each unit has always been converted in.
double to_millimetres(length_unit_t unit, float n);
