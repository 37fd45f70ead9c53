#include "filter/ppd_defaults.h"

#include <cups/ppd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

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

// A stock size name, or a custom size whose numbers carry a unit. Custom sizes are
// truncated to whole millimetres, with no rounding and no minimum. Numbers with no unit
// after them are points, as CUPS reads the Custom.WxH that lpadmin -o PageSize=... writes;
// any other text that names no unit (a trailing "m" among them) means metres. Gives back
// whether the size asked for fits the record as it was asked.
bool set_page_size(label_doc_t &doc, const char *value) {
  if (!is_custom_size(value)) {
    set_stock_page_size(doc, value);
    return true;
  }
  const custom_size_t size = parse_custom_size(value);
  WriteLog("(src:wxh)|%f|%f|", double{size.width}, double{size.height});
  length_unit_t unit = find_unit(value);
  if (unit == kMetres && ends_in_number(value)) unit = kPoints;
  const double width = to_millimetres(unit, size.width);
  const double height = to_millimetres(unit, size.height);
  WriteLog("(%s:wxh)|%f|%f|", unit_label(unit), width, height);
  doc.labelWidth = low_16_bits(truncate_to_int(width));
  doc.labelHeight = low_16_bits(truncate_to_int(height));
  return fits_label_field(width) && fits_label_field(height);
}

}  // namespace

void set_pstops_with_ppd(label_doc_t &doc, limited_settings_t *sources) {
  const char *path = getenv("PPD");
  WriteLog("PPD=%s", path ? path : "(unset)");
  PpdPtr ppd = open_ppd(path);
  if (!ppd) {
    WriteLog("can't param ppdfile");
    return;
  }
  WriteLog("module_number:%d", ppd->model_number);

  if (const char *value = read_default(ppd.get(), "DefaultPageSize")) {
    const bool fits = set_page_size(doc, value);
    if (sources) sources->pageSize = {"PageSize", value, true, fits};
  }
  for (const ppd_default_t &entry : kIntDefaults) {
    if (const char *value = read_default(ppd.get(), entry.attribute)) {
      store_int_setting(doc, entry.field, value);
      note_setting(sources, entry.field, entry.attribute + strlen("Default"), value, true);
    }
  }
  // The stock and the finishing: logged as read, and in no summary line, so a PPD
  // without them logs what it always has.
  for (const named_setting_t &setting : kMediaSettings) {
    const std::string attribute = std::string("Default") + setting.name;
    if (const char *value = read_default(ppd.get(), attribute.c_str()))
      store_int_setting(doc, setting.field, value);
  }

  WriteLog("ppdfile PageSize:%dx%d", doc.labelWidth, doc.labelHeight);
  WriteLog("ppdfile Speed:%d", doc.speed);
  WriteLog("ppdfile Darkness:%d", doc.darkness);
  WriteLog("ppdfile MediaTracking:%d", doc.mediaTracking);
  WriteLog("ppdfile Mode:%d", doc.mode);
}
