#pragma once
// What the printer takes: a density of 0 to 15, the speeds its queue offers and labels up
// to the largest its queue offers. A job whose settings go beyond them is refused whole,
// before anything is sent: the printer would refuse its labels and print nothing, while
// CUPS reported the job done.

#include <cstdint>
#include <string>
#include <vector>

#include "core/label_doc.h"
#include "filter/setting_text.h"

struct printer_limits_t {
  int32_t speedLow = 20, speedHigh = 60;  // PrintSpeed, as the job gives it
  int32_t widthHighMm = 102;              // the widest label, whole millimetres
  int32_t heightHighMm = 1017;            // the longest label
};

// The limits the queue's PPD (named by the environment variable PPD) states: the lowest and
// highest of its PrintSpeed choices, and its *MaxMediaWidth and *MaxMediaHeight in points,
// in millimetres as a custom size of that many points gets them. What it does not state,
// or a run without a PPD, takes the driver's own PPDs' 20 to 60 and 288 x 2880 points.
printer_limits_t read_printer_limits();

// One message for each setting of `doc` the printer cannot take, naming the option, its
// value as given and the range; none when the printer takes them all.
std::vector<std::string> unprintable_settings(const label_doc_t &doc,
                                              const limited_settings_t &sources,
                                              const printer_limits_t &limits);
