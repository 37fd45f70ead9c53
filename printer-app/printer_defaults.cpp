#include "printer-app/printer_defaults.h"

#include <optional>
#include <string>

#include "cupsutil/cups_handles.h"
#include "printer-app/label_settings.h"
#include "printer-app/vendor_defaults.h"

void UpdateDefaultAttributes(pappl_printer_t *printer) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  const int speed = data.speed_default > 0 ? data.speed_default : kDefaultSpeed * kSpeedStep;
  const VendorDefaults current(printer);
  if (current.Number("print-darkness") == data.darkness_default && current.Number("print-speed") == speed) return;
  // PAPPL keeps "<name>-default" of each vendor option in the printer's attributes, so
  // the two are passed to it as the vendor options of this one call.
  OptionsPtr vendor{nullptr, OptionsFree{0}};
  AddOption(vendor, "print-darkness", std::to_string(data.darkness_default).c_str());
  AddOption(vendor, "print-speed", std::to_string(speed).c_str());
  pappl_pr_driver_data_t defaults = data;
  defaults.num_vendor = 2;
  defaults.vendor[0] = "print-darkness";
  defaults.vendor[1] = "print-speed";
  papplPrinterSetDriverDefaults(printer, &defaults, vendor.get_deleter().count, vendor.get());
}
