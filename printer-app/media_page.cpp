// The printer's Media & Finishing page.

#include <cstring>
#include <string>

#include "cupsutil/cups_handles.h"
#include "printer-app/command_filter.h"
#include "printer-app/forms.h"
#include "printer-app/media_settings.h"
#include "printer-app/pages.h"
#include "printer-app/vendor_defaults.h"

namespace {

struct command_button_t {
  const char *command, *label;
};
constexpr command_button_t kCommands[] = {
    {"Calibrate", "Calibrate Media Sensor"},
    {"PrintSelfTestPage", "Print Self-Test Page"},
    {"FeedLabel", "Feed One Label"},
};

const char *TrackingName(pappl_media_tracking_t tracking) {
  switch (tracking) {
    case PAPPL_MEDIA_TRACKING_MARK: return "black mark";
    case PAPPL_MEDIA_TRACKING_CONTINUOUS: return "continuous";
    default: return "gap between labels";
  }
}

// Saves a posted form, or sends the command a button asked for; what to tell the user.
std::string Post(pappl_client_t *client, pappl_printer_t *printer) {
  cups_option_t *fields = nullptr;
  const int count = papplClientGetForm(client, &fields);
  const OptionsPtr form{fields, OptionsFree{count}};
  if (count == 0 || !papplClientIsValidForm(client, count, fields)) return "Invalid form submission.";
  if (const char *command = cupsGetOption("command", count, fields)) {
    for (const command_button_t &button : kCommands) {
      if (strcmp(command, button.command) != 0) continue;
      const char *user = papplClientGetUsername(client);
      return SubmitMaintenance(printer, button.command, user && *user ? user : "guest")
                 ? std::string(button.label) + ": sent to the printer."
                 : std::string(button.label) + ": the job could not be made.";
    }
    return "Unknown command.";
  }

  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  OptionsPtr vendor{nullptr, OptionsFree{0}};
  if (!ReadMediaForm(count, fields, data, vendor) ||
      !papplPrinterSetDriverDefaults(printer, &data, vendor.get_deleter().count, vendor.get()))
    return "Bad settings: nothing was changed.";
  return "Changes saved.";
}

void ShowPage(pappl_client_t *client, pappl_printer_t *printer, const std::string &status) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  const VendorDefaults defaults(printer);
  papplClientHTMLPrinterHeader(client, printer, "Media & Finishing", 0, nullptr, nullptr);
  if (!status.empty()) papplClientHTMLPrintf(client, "<div class=\"banner\">%s</div>\n", status.c_str());

  papplClientHTMLStartForm(client, papplClientGetURI(client), false);
  papplClientHTMLPuts(client, "<table class=\"form\"><tbody>\n");
  char media[256];
  papplPrinterGetPath(printer, "media", media, sizeof media);
  papplClientHTMLPrintf(client,
                        "<tr><th>Media tracking:</th><td>%s (<a href=\"%s\">Media</a>)</td></tr>\n",
                        TrackingName(data.media_ready[0].tracking), media);
  papplClientHTMLPuts(client, "<tr><th>After printing:</th><td><select name=\"label-mode-configured\">");
  for (const label_mode_choice_t &choice : kLabelModeChoices) {
    papplClientHTMLPrintf(client, "<option value=\"%s\"%s>%s</option>", choice.keyword,
                          data.mode_configured == choice.mode ? " selected" : "", choice.label);
  }
  papplClientHTMLPuts(client, "</select></td></tr>\n");
  papplClientHTMLPrintf(client,
                        "<tr><th>Tear-off position (1/100 mm):</th><td><input type=\"number\" "
                        "name=\"label-tear-offset-configured\" min=\"%d\" max=\"%d\" value=\"%d\"></td></tr>\n",
                        -kMaxTearOffset, kMaxTearOffset, data.tear_offset_configured);
  for (const vendor_range_t &range : kVendorRanges) {
    papplClientHTMLPrintf(client,
                          "<tr><th>%s:</th><td><input type=\"number\" name=\"%s\" min=\"%d\" max=\"%d\" "
                          "value=\"%d\"></td></tr>\n",
                          range.label, range.name, range.low, range.high,
                          defaults.Number(range.name).value_or(label_doc_t{}.*range.field));
  }
  const std::string direction = defaults.Keyword(kPrintDirectionOption);
  papplClientHTMLPrintf(client, "<tr><th>Print direction:</th><td><select name=\"%s\">", kPrintDirectionOption);
  for (const print_direction_keyword_t &choice : kPrintDirections) {
    papplClientHTMLPrintf(client, "<option value=\"%s\"%s>%s</option>", choice.keyword,
                          direction == choice.keyword ? " selected" : "", choice.keyword);
  }
  papplClientHTMLPuts(client, "</select></td></tr>\n"
                              "<tr><th></th><td><input type=\"submit\" value=\"Save Changes\"></td></tr>\n"
                              "</tbody></table></form>\n");

  for (const command_button_t &button : kCommands) {
    papplClientHTMLStartForm(client, papplClientGetURI(client), false);
    papplClientHTMLPrintf(client,
                          "<input type=\"hidden\" name=\"command\" value=\"%s\">"
                          "<input type=\"submit\" value=\"%s\"></form>\n",
                          button.command, button.label);
  }
  papplClientHTMLPrinterFooter(client);
}

}  // namespace

bool MediaPage(pappl_client_t *client, void *context) try {
  auto *printer = static_cast<pappl_printer_t *>(context);
  if (!papplClientHTMLAuthorize(client)) return true;
  std::string status;
  if (papplClientGetMethod(client) == HTTP_STATE_POST) status = Post(client, printer);
  ShowPage(client, printer, status);
  return true;
} catch (const std::exception &) {
  return false;
}
