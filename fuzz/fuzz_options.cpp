// Arbitrary text as the job's option string (the filter's argv[5]), split by
// cupsParseOptions, applied over the defaults and checked against the printer's limits,
// as main does. No PPD.

#include <cups/cups.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cupsutil/cups_handles.h"
#include "core/label_doc.h"
#include "filter/options.h"
#include "filter/printer_limits.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  unsetenv("PPD");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  cups_option_t *parsed = nullptr;
  int num_options = cupsParseOptions(text.c_str(), 0, &parsed);
  OptionsPtr options{parsed, OptionsFree{num_options}};
  label_doc_t doc{};
  limited_settings_t sources;
  set_pstops_options(doc, num_options, options.get(), &sources);
  unprintable_settings(doc, sources, printer_limits_t{});
  return 0;
}
