#pragma once
// A printer's defaults of the vendor options (the conversion rule, label finding, the
// stock and finishing settings IPP has no attribute for, and the print-darkness-default
// and print-speed-default it keeps as vendor options): PAPPL keeps each as the
// "<option>-default" attribute among the printer's driver attributes.

#include <pappl/pappl.h>

#include <optional>
#include <string>

#include "cupsutil/cups_handles.h"

class VendorDefaults {
 public:
  // Reads them all from one copy of the printer's driver attributes: the printer's own
  // are searched by PAPPL's threads.
  explicit VendorDefaults(pappl_printer_t *printer);

  // The keyword default of `option`; "" when the printer has none.
  std::string Keyword(const char *option) const;
  // The whole-number default of `option`, when the printer has one.
  std::optional<int> Number(const char *option) const;

 private:
  IppPtr attributes_;
};
