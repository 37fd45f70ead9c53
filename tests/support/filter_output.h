#pragma once
// What the filter writes for a raster with one of the driver's PPDs and a job's options,
// run in-process: the bytes the printer application's output is compared with.

#include <cups/cups.h>

#include <cstdlib>
#include <string>

#include "core/label_doc.h"
#include "filter/options.h"
#include "tests/support/capture.h"

// `ppd` is a file name in ppd/ (vantel-203.ppd); SOURCE_DIR is the source tree's top.
inline std::string FilterOutput(const std::string &ppd, const std::string &options,
                                const std::string &raster) {
  setenv("PPD", (std::string(SOURCE_DIR) + "/ppd/" + ppd).c_str(), 1);
  cups_option_t *parsed = nullptr;
  const int count = cupsParseOptions(options.c_str(), 0, &parsed);
  label_doc_t doc{};
  set_pstops_options(doc, count, parsed);
  cupsFreeOptions(count, parsed);
  unsetenv("PPD");
  return RenderRaster(doc, raster).out;
}
