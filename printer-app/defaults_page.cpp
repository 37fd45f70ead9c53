// The printer's Printing Defaults page.

#include <array>
#include <cstring>
#include <span>
#include <string>

#include "cupsutil/cups_handles.h"
#include "printer-app/forms.h"
#include "printer-app/job_settings.h"
#include "printer-app/label_settings.h"
#include "printer-app/pages.h"
#include "printer-app/printer_defaults.h"
#include "printer-app/vendor_defaults.h"

namespace {

std::string PrinterPath(pappl_printer_t *printer, const char *subpath) {
  char path[256];
  papplPrinterGetPath(printer, subpath, path, sizeof path);
  return path;
}

void Select(pappl_client_t *client, const char *name, std::span<const choice_t> choices,
            const std::string &selected) {
  papplClientHTMLPrintf(client, "<select name=\"%s\">", name);
  for (const choice_t &choice : choices) {
    papplClientHTMLPrintf(client, "<option value=\"%s\"%s>", choice.value,
                          selected == choice.value ? " selected" : "");
    papplClientHTMLEscape(client, choice.label, 0);
    papplClientHTMLPuts(client, "</option>");
  }
  papplClientHTMLPuts(client, "</select>");
}

void Row(pappl_client_t *client, const char *heading) {
  papplClientHTMLPrintf(client, "              <tr><th>%s:</th><td>", heading);
}

void EndRow(pappl_client_t *client, const char *help) {
  if (help) papplClientHTMLPrintf(client, "<br><small>%s</small>", help);
  papplClientHTMLPuts(client, "</td></tr>\n");
}

const char *SaveForm(pappl_client_t *client, pappl_printer_t *printer, pappl_pr_driver_data_t &data) {
  cups_option_t *fields = nullptr;
  const int count = papplClientGetForm(client, &fields);
  const OptionsPtr form{fields, OptionsFree{count}};
  if (count == 0) return "Invalid form data.";
  if (!papplClientIsValidForm(client, count, fields)) return "Invalid form submission.";
  OptionsPtr vendor{nullptr, OptionsFree{0}};
  if (!ReadDefaultsForm(count, fields, data, vendor) ||
      !papplPrinterSetDriverDefaults(printer, &data, vendor.get_deleter().count, vendor.get()))
    return "Bad printer defaults: nothing was changed.";
  UpdateDefaultAttributes(printer);
  return "Changes saved.";
}

void ShowPage(pappl_client_t *client, pappl_printer_t *printer, const pappl_pr_driver_data_t &data,
              const char *status) {
  const VendorDefaults defaults(printer);
  papplClientHTMLPrinterHeader(client, printer, "Printing Defaults", 0, nullptr, nullptr);
  if (status) papplClientHTMLPrintf(client, "<div class=\"banner\">%s</div>\n", status);
  papplClientHTMLStartForm(client, papplClientGetURI(client), false);
  papplClientHTMLPuts(client, "          <table class=\"form\">\n            <tbody>\n");

  const pappl_media_col_t &media = data.media_default;
  Row(client, "Label");
  papplClientHTMLPrintf(client, "%.2f &times; %.2f mm (%.2f &times; %.2f in) <a class=\"btn\" href=\"%s\">Configure Media</a>",
                        media.size_width / 100.0, media.size_length / 100.0, media.size_width / 2540.0,
                        media.size_length / 2540.0, PrinterPath(printer, "media").c_str());
  EndRow(client, "The label loaded in the printer, its gap and offsets: on the Media page.");

  std::array<choice_t, kPrintModes.size()> modes;
  for (size_t i = 0; i < kPrintModes.size(); ++i) modes[i] = {kPrintModes[i].keyword, kPrintModes[i].label};
  Row(client, "Conversion rule");
  Select(client, kPrintModeOption, modes, defaults.Keyword(kPrintModeOption));
  EndRow(client, "How grays become dots: a threshold for text and barcodes, a dither for photos.");

  Row(client, "Label finding");
  Select(client, kLabelFitOption, kLabelFitChoices, defaults.Keyword(kLabelFitOption));
  EndRow(client, nullptr);

  Row(client, "Darkness");
  const int level = DarknessLevel(data.darkness_configured, 0);
  papplClientHTMLPuts(client, "<select name=\"print-darkness\">");
  for (int i = 0; i < kDarknessLevels; ++i) {
    papplClientHTMLPrintf(client, "<option value=\"%d\"%s>%d%s</option>", i, i == level ? " selected" : "", i,
                          i == kDefaultDarkness ? " (factory setting)" : "");
  }
  papplClientHTMLPuts(client, "</select>");
  EndRow(client, "The printer's heat level, 0 (lightest) to 15 (darkest).");

  Row(client, "Print speed");
  const int speed = SpeedSetting(data.speed_default);
  papplClientHTMLPuts(client, "<select name=\"print-speed\">");
  for (int i = kMinSpeed; i <= kMaxSpeed; ++i) {
    papplClientHTMLPrintf(client, "<option value=\"%d\"%s>%d in/s (%d mm/s)%s</option>", i,
                          i == speed ? " selected" : "", i, (i * 254 + 5) / 10,
                          i == kDefaultSpeed ? " (factory setting)" : "");
  }
  papplClientHTMLPuts(client, "</select>");
  EndRow(client, "Slower prints darker and sharper.");

  Row(client, "Gray input");
  const std::string color = data.color_default == PAPPL_COLOR_MODE_BI_LEVEL ? "bi-level" : "monochrome";
  for (const choice_t &choice : kColorModeChoices) {
    papplClientHTMLPrintf(client, "<label><input type=\"radio\" name=\"print-color-mode\" value=\"%s\"%s> %s</label><br>",
                          choice.value, color == choice.value ? " checked" : "", choice.label);
  }
  EndRow(client, "A job may ask for either (print-color-mode); this is what jobs get that do not.");

  Row(client, "Scaling");
  Select(client, "print-scaling", kScalingChoices, ScalingKeyword(data.scaling_default));
  EndRow(client, "For pictures (PNG, JPEG) and whole pages.");

  Row(client, "Orientation");
  Select(client, "orientation-requested", kOrientationChoices, std::to_string(data.orient_default));
  EndRow(client, nullptr);

  Row(client, "Resolution");
  papplClientHTMLPrintf(client, "%d dpi", data.x_default);
  EndRow(client, nullptr);

  papplClientHTMLPuts(client,
                      "              <tr><th></th><td><input type=\"submit\" value=\"Save Changes\"></td></tr>\n"
                      "            </tbody>\n          </table>\n        </form>\n");
  papplClientHTMLPrinterFooter(client);
}

}  // namespace

bool PrintingDefaultsPage(pappl_client_t *client, void *context) try {
  auto *printer = static_cast<pappl_printer_t *>(context);
  if (!papplClientHTMLAuthorize(client)) return true;
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  const char *status = nullptr;
  if (papplClientGetMethod(client) == HTTP_STATE_POST) {
    status = SaveForm(client, printer, data);
    papplPrinterGetDriverData(printer, &data);
  }
  ShowPage(client, printer, data, status);
  return true;
} catch (const std::exception &) {
  return false;
}
