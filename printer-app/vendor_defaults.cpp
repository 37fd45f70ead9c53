#include "printer-app/vendor_defaults.h"

namespace {

std::string DefaultName(const char *option) { return std::string(option) + "-default"; }

}  // namespace

VendorDefaults::VendorDefaults(pappl_printer_t *printer)
    : attributes_(papplPrinterGetDriverAttributes(printer)) {}

std::string VendorDefaults::Keyword(const char *option) const {
  const char *value = ippGetString(
      ippFindAttribute(attributes_.get(), DefaultName(option).c_str(), IPP_TAG_KEYWORD), 0, nullptr);
  return value ? value : "";
}

std::optional<int> VendorDefaults::Number(const char *option) const {
  ipp_attribute_t *attr = ippFindAttribute(attributes_.get(), DefaultName(option).c_str(), IPP_TAG_INTEGER);
  if (!attr) return std::nullopt;
  return ippGetInteger(attr, 0);
}
