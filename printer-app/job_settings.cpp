#include "printer-app/job_settings.h"

#include <cstdlib>
#include <string>

#include "printer-app/label_settings.h"
#include "printer-app/media_settings.h"
#include "printer-app/vendor_defaults.h"

namespace {

// The vendor settings of a job: its own, else the printer's defaults.
class vendor_values_t {
 public:
  vendor_values_t(pappl_job_t *job, const pappl_pr_options_t &options)
      : options_(options), defaults_(papplJobGetPrinter(job)) {}

  // A keyword setting; "" when neither the job nor the printer has one.
  std::string Keyword(const char *name) const {
    if (const char *value = cupsGetOption(name, options_.num_vendor, options_.vendor)) return value;
    return defaults_.Keyword(name);
  }

  // A whole-number setting held to its range; the record's built-in value when neither
  // the job nor the printer has one.
  int16_t Number(const vendor_range_t &range) const {
    if (const char *value = cupsGetOption(range.name, options_.num_vendor, options_.vendor)) {
      char *end = nullptr;
      const long number = strtol(value, &end, 10);
      if (end != value) return VendorSetting(range, number);
    }
    if (const std::optional<int> value = defaults_.Number(range.name)) return VendorSetting(range, *value);
    return label_doc_t{}.*range.field;
  }

 private:
  const pappl_pr_options_t &options_;
  const VendorDefaults defaults_;
};

// The stock and finishing fields: the tracking of the job's media, the printer's label
// mode and tear-off position, and the vendor settings.
void SetMediaSetup(pappl_job_t *job, const pappl_pr_options_t &options, const vendor_values_t &vendor,
                   label_doc_t &doc) {
  doc.mediaTracking = TrackingSetting(options.media.tracking);
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
  doc.labelMode = LabelModeSetting(data.mode_configured);
  doc.tearOffset = TearOffsetSetting(data.tear_offset_configured);
  for (const vendor_range_t &range : kVendorRanges) doc.*range.field = vendor.Number(range);
  doc.direction = DirectionForKeyword(vendor.Keyword(kPrintDirectionOption).c_str());
}

}  // namespace

job_settings_t ReadJobSettings(pappl_job_t *job, const pappl_pr_options_t &options) {
  const vendor_values_t vendor(job, options);
  job_settings_t settings;
  label_doc_t &doc = settings.doc;
  const int dpi = options.printer_resolution[0];
  SetLabelSize(doc, options.media.size_width, options.media.size_length);
  doc.speed = SpeedSetting(options.print_speed);
  doc.darkness = DarknessLevel(options.darkness_configured, options.print_darkness);
  SetMediaSetup(job, options, vendor, doc);
  doc.horizontal = OffsetDots(options.media.left_offset, dpi);
  doc.vertical = OffsetDots(options.media.top_offset, dpi);
  doc.mode = ModeForJob(ModeForKeyword(vendor.Keyword(kPrintModeOption).c_str()),
                        options.print_color_mode == PAPPL_COLOR_MODE_BI_LEVEL);
  settings.findLabels = vendor.Keyword(kLabelFitOption) != kWholePage;
  return settings;
}
