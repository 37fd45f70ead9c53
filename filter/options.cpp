#include "filter/options.h"

#include <array>
#include <cstring>

#include "core/page_list.h"
#include "filter/log.h"
#include "filter/ppd_defaults.h"
#include "filter/setting_text.h"

namespace {

// The recognised options, in the order an option's name is tested against them.
enum job_option_t { kDarkness, kPrintSpeed, kHorizontal, kVertical, kMediaTracking, kPrintMode,
                    kPageSize, kJobOptionCount };

constexpr std::array<const char *, kJobOptionCount> kJobOptionNames = {
    "Darkness", "PrintSpeed", "Horizontal", "Vertical", "MediaTracking", "PrintMode", "PageSize"};

// The field each option before PageSize sets.
constexpr std::array<int_setting_t, kPageSize> kJobOptionFields = {
    int_setting_t::darkness, int_setting_t::speed,         int_setting_t::horizontal,
    int_setting_t::vertical, int_setting_t::mediaTracking, int_setting_t::mode};

// A custom size's numbers are points unless its text names millimetres, centimetres,
// inches or feet (found as the PPD layer finds units, so where "pt" comes first it stays
// points). Points are divided by 2.83, the width rounded to the nearest millimetre but
// the height truncated; the other units convert as in the PPD layer, both truncated.
// Then both are raised to the minimum (a 16-bit result that wrapped negative included).
// Stock sizes are taken as they are.
// Gives back whether the size asked for fits the record as it was asked.
bool set_page_size(label_doc_t &doc, const char *name, const char *value) {
  WriteLog("996_PageSize=%s", name);
  WriteLog("997_page_size=%s", value);
  if (!is_custom_size(value)) {
    set_stock_page_size(doc, value);
    return true;
  }
  const custom_size_t size = parse_custom_size(value);
  const double width = size.width, height = size.height;
  WriteLog("(wxh)|%f|%f|", width, height);
  WriteLog("(wxh)|%f|%f|", width / kPointsPerMillimetre, height / kPointsPerMillimetre);
  const length_unit_t unit = find_unit(value);
  bool fits = true;
  if (unit == kPoints || unit == kMetres) {
    fits = set_custom_points_size(doc, width, height);
  } else {
    const double widthMm = to_millimetres(unit, size.width);
    const double heightMm = to_millimetres(unit, size.height);
    WriteLog("(%s:wxh)|%f|%f|", unit_label(unit), widthMm, heightMm);
    fits = set_custom_millimetre_size(doc, widthMm, heightMm);
  }
  WriteLog("(wxh)|%d|%d|", doc.labelWidth, doc.labelHeight);
  return fits;
}

// A setting of the stock or the finishing, logged as it is stored.
void apply_media_option(label_doc_t &doc, const named_setting_t &setting, const char *value) {
  store_int_setting(doc, setting.field, value);
  WriteLog("doc->%s = %d", setting.fieldName, int_setting(doc, setting.field));
}

void apply_option(label_doc_t &doc, job_option_t option, const char *name, const char *value,
                  limited_settings_t *sources) {
  if (option == kPageSize) {
    const bool fits = set_page_size(doc, name, value);
    if (sources) sources->pageSize = {name, value, false, fits};
    return;
  }
  store_int_setting(doc, kJobOptionFields[option], value);
  note_setting(sources, kJobOptionFields[option], name, value, false);
  switch (option) {
    case kPrintSpeed: WriteLog("doc->speed = %d", doc.speed); break;
    case kMediaTracking: WriteLog("doc->mediaTracking = %d", doc.mediaTracking); break;
    case kPrintMode: WriteLog("doc->mode = %d", doc.mode); break;
    default: break;
  }
}

}  // namespace

void set_pstops_options(label_doc_t &doc, int num_options, const cups_option_t *options,
                        limited_settings_t *sources) {
  doc.labelWidth = kDefaultLabelWidth;
  doc.labelHeight = kDefaultLabelHeight;
  doc.speed = kDefaultSpeed;
  doc.darkness = kDefaultDarkness;
  doc.mediaTracking = kDefaultMediaTracking;
  doc.mode = kDefaultMode;
  const label_doc_t defaults{};
  doc.gapHeight = defaults.gapHeight;
  doc.gapOffset = defaults.gapOffset;
  doc.labelMode = defaults.labelMode;
  doc.cutInterval = defaults.cutInterval;
  doc.tearOffset = defaults.tearOffset;
  doc.shift = defaults.shift;
  doc.direction = defaults.direction;

  set_pstops_with_ppd(doc, sources);

  if (!options) return;
  // A name counts once: its first option is applied, whatever its value, and later
  // options of that name are passed over.
  std::array<bool, kJobOptionCount> applied{};
  std::array<bool, std::size(kMediaSettings)> mediaApplied{};
  for (int i = 0; i < num_options; ++i) {
    const char *name = options[i].name;
    if (!name) continue;
    const char *value = options[i].value ? options[i].value : "";
    bool found = false;
    for (int option = 0; option < kJobOptionCount && !found; ++option) {
      if (applied[option] || strcmp(name, kJobOptionNames[option]) != 0) continue;
      applied[option] = found = true;
      apply_option(doc, static_cast<job_option_t>(option), name, value, sources);
    }
    for (size_t setting = 0; setting < mediaApplied.size() && !found; ++setting) {
      if (mediaApplied[setting] || strcmp(name, kMediaSettings[setting].name) != 0) continue;
      mediaApplied[setting] = found = true;
      apply_media_option(doc, kMediaSettings[setting], value);
    }
  }
}
