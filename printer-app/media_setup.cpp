#include "printer-app/media_setup.h"

#include <string>

#include "printer-app/media_settings.h"

void AddMediaSetup(pappl_pr_driver_data_t *data, ipp_t *attrs) {
  data->tracking_supported =
      PAPPL_MEDIA_TRACKING_GAP | PAPPL_MEDIA_TRACKING_MARK | PAPPL_MEDIA_TRACKING_CONTINUOUS;
  data->mode_supported = PAPPL_LABEL_MODE_TEAR_OFF | PAPPL_LABEL_MODE_PEEL_OFF |
                         PAPPL_LABEL_MODE_CUTTER | PAPPL_LABEL_MODE_CUTTER_DELAYED;
  data->mode_configured = PAPPL_LABEL_MODE_TEAR_OFF;
  data->tear_offset_supported[0] = -kMaxTearOffset;
  data->tear_offset_supported[1] = kMaxTearOffset;
  data->tear_offset_configured = 0;

  const label_doc_t defaults{};
  for (const vendor_range_t &range : kVendorRanges) {
    data->vendor[data->num_vendor++] = range.name;
    const std::string name = range.name;
    ippAddRange(attrs, IPP_TAG_PRINTER, (name + "-supported").c_str(), range.low, range.high);
    ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, (name + "-default").c_str(),
                  defaults.*range.field);
  }
  const char *directions[kPrintDirections.size()];
  for (size_t i = 0; i < kPrintDirections.size(); ++i) directions[i] = kPrintDirections[i].keyword;
  data->vendor[data->num_vendor++] = kPrintDirectionOption;
  const std::string name = kPrintDirectionOption;
  ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), (name + "-supported").c_str(),
                static_cast<int>(kPrintDirections.size()), nullptr, directions);
  ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), (name + "-default").c_str(),
               nullptr, directions[0]);
}
