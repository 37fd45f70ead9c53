#include "filter/ppd_defaults.h"

#include <cups/ppd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/page_list.h"
#include "cupsutil/cups_handles.h"
#include "filter/log.h"
#include "filter/setting_text.h"

namespace {

// The PPD interface is deprecated in CUPS 2.4 but still the way a filter reads its
// queue's PPD; the warning is silenced for these calls only.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

PpdPtr open_ppd(const char *path) { return PpdPtr{path ? ppdOpenFile(path) : nullptr}; }

ppd_attr_t *find_attr(ppd_file_t *ppd, const char *name) {
  return ppdFindAttr(ppd, name, nullptr);
}

#pragma GCC diagnostic pop

// The integer attributes, in the order they are read (after DefaultPageSize).
struct ppd_default_t {
  const char *attribute;
  int_setting_t field;
};
constexpr std::array<ppd_default_t, 6> kIntDefaults = {{
    {"DefaultDarkness", int_setting_t::darkness},
    {"DefaultPrintSpeed", int_setting_t::speed},
    {"DefaultVertical", int_setting_t::vertical},
    {"DefaultHorizontal", int_setting_t::horizontal},
    {"DefaultMediaTracking", int_setting_t::mediaTracking},
    {"DefaultPrintMode", int_setting_t::mode},
}};

// The value text of attribute `name`, logged as it is read; null when the PPD has no such
// attribute. An attribute without value text reads as empty text.
const char *read_default(ppd_file_t *ppd, const char *name) {
  const ppd_attr_t *attr = find_attr(ppd, name);
  if (!attr) return nullptr;
  const char *value = attr->value ? attr->value : "";
  WriteLog("ppdfile %s:%s", attr->name, value);
  return value;
}

// The length units a custom size may name, in the order they are looked for anywhere in
// its text; the first found decides. Metres, last, have no text of their own: they are
// what a size without any of the others is taken in.
enum length_unit_t { kMillimetres, kPoints, kCentimetres, kInches, kFeet, kMetres };
constexpr std::array<const char *, 5> kUnitTexts = {"mm", "pt", "cm", "in", "ft"};
constexpr std::array<const char *, 6> kUnitLabels = {"mm", "pt", "cm", "in", "ft", "m"};

length_unit_t find_unit(const char *text) {
  for (size_t unit = 0; unit < kUnitTexts.size(); ++unit) {
    if (strstr(text, kUnitTexts[unit])) return static_cast<length_unit_t>(unit);
  }
  return kMetres;
}

// Each unit is converted in the precision it always has been: points, centimetres and
// metres in single precision, rounded to a float before anything else happens to them.
// That decides lengths just below a whole millimetre: 0.7 cm gives 7 mm (0.7f * 10 rounds
// to 7.0f), where a double product would give 6.99999988 mm.
double to_millimetres(length_unit_t unit, float n) {
  switch (unit) {
    case kMillimetres: return n;
    case kPoints: {
      const float inches = n / 72.0f;
      return inches * 25.4;
    }
    case kCentimetres: {
      const float mm = n * 10.0f;
      return mm;
    }
    case kInches: return n * 25.4;
    case kFeet: return n * 304.8;
    case kMetres: {
      const float mm = n * 1000.0f;
      return mm;
    }
  }
  return n;
}

// A stock size name, or a custom size whose numbers carry a unit. Custom sizes are
// truncated to whole millimetres, with no rounding and no minimum.
void set_page_size(label_doc_t &doc, const char *value) {
  if (!is_custom_size(value)) {
    set_stock_page_size(doc, value);
    return;
  }
  const custom_size_t size = parse_custom_size(value);
  WriteLog("(src:wxh)|%f|%f|", double{size.width}, double{size.height});
  const length_unit_t unit = find_unit(value);
  const double width = to_millimetres(unit, size.width);
  const double height = to_millimetres(unit, size.height);
  WriteLog("(%s:wxh)|%f|%f|", kUnitLabels[unit], width, height);
  doc.labelWidth = low_16_bits(truncate_to_int(width));
  doc.labelHeight = low_16_bits(truncate_to_int(height));
}

}  // namespace

void set_pstops_with_ppd(label_doc_t &doc) {
  const char *path = getenv("PPD");
  WriteLog("PPD=%s", path ? path : "(unset)");
  PpdPtr ppd = open_ppd(path);
  if (!ppd) {
    WriteLog("can't param ppdfile");
    return;
  }
  WriteLog("module_number:%d", ppd->model_number);

  if (const char *value = read_default(ppd.get(), "DefaultPageSize")) set_page_size(doc, value);
  for (const ppd_default_t &entry : kIntDefaults) {
    if (const char *value = read_default(ppd.get(), entry.attribute))
      store_int_setting(doc, entry.field, value);
  }

  WriteLog("ppdfile PageSize:%dx%d", doc.labelWidth, doc.labelHeight);
  WriteLog("ppdfile Speed:%d", doc.speed);
  WriteLog("ppdfile Darkness:%d", doc.darkness);
  WriteLog("ppdfile MediaTracking:%d", doc.mediaTracking);
  WriteLog("ppdfile Mode:%d", doc.mode);
}
