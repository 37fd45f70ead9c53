// The printer's "Media & Finishing" web page: the stock's tracking, what the printer does
// with a printed label and where it stops it, the settings IPP has no attribute for, and
// buttons for calibration, the self-test page and feeding a label.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "printer-app/driver.h"
#include "printer-app/media_settings.h"
#include "printer-app/media_setup.h"

namespace {


struct mode_choice_t {
  pappl_label_mode_t mode;
  const char *keyword, *label;
};
constexpr mode_choice_t kModes[] = {
    {PAPPL_LABEL_MODE_TEAR_OFF, "tear-off", "Tear off"},
    {PAPPL_LABEL_MODE_PEEL_OFF, "peel-off", "Peel off"},
    {PAPPL_LABEL_MODE_CUTTER, "cutter", "Cut"},
    {PAPPL_LABEL_MODE_CUTTER_DELAYED, "cutter-delayed", "Cut once, after the last label"},
};

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

// A whole number from the form, when it is one within [low, high].
bool FormInt(int count, cups_option_t *form, const char *name, int low, int high, int &value) {
  const char *text = cupsGetOption(name, count, form);
  if (!text) return false;
  char *end = nullptr;
  const long number = strtol(text, &end, 10);
  if (end == text || *end || number < low || number > high) return false;
  value = static_cast<int>(number);
  return true;
}

int VendorInt(ipp_t *attrs, const vendor_range_t &range) {
  const std::string key = std::string(range.name) + "-default";
  ipp_attribute_t *attr = ippFindAttribute(attrs, key.c_str(), IPP_TAG_INTEGER);
  return attr ? ippGetInteger(attr, 0) : label_doc_t{}.*range.field;
}

// Saves a posted form, or sends the command a button asked for; what to tell the user.
std::string Post(pappl_client_t *client, pappl_printer_t *printer) {
  cups_option_t *raw = nullptr;
  const int count = papplClientGetForm(client, &raw);
  CupsOptionsPtr form{raw, CupsOptionsDeleter{count}};
  if (count == 0 || !papplClientIsValidForm(client, count, raw)) return "Invalid form submission.";
  if (const char *command = cupsGetOption("command", count, raw)) {
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
  const char *mode = cupsGetOption("label-mode-configured", count, raw);
  bool known = false;
  for (const mode_choice_t &choice : kModes) {
    if (mode && strcmp(mode, choice.keyword) == 0) data.mode_configured = choice.mode, known = true;
  }
  int tear = 0;
  if (!known || !FormInt(count, raw, "label-tear-offset-configured", -kMaxTearOffset, kMaxTearOffset, tear))
    return "Bad settings: nothing was changed.";
  data.tear_offset_configured = tear;

  int num_vendor = 0;
  cups_option_t *vendor = nullptr;
  for (const vendor_range_t &range : kVendorRanges) {
    int value = 0;
    if (!FormInt(count, raw, range.name, range.low, range.high, value)) {
      cupsFreeOptions(num_vendor, vendor);
      return "Bad settings: nothing was changed.";
    }
    num_vendor = cupsAddOption(range.name, std::to_string(value).c_str(), num_vendor, &vendor);
  }
  const char *direction = cupsGetOption(kPrintDirectionOption, count, raw);
  for (const print_direction_keyword_t &choice : kPrintDirections) {
    if (direction && strcmp(direction, choice.keyword) == 0)
      num_vendor = cupsAddOption(kPrintDirectionOption, direction, num_vendor, &vendor);
  }
  CupsOptionsPtr vendorOwner{vendor, CupsOptionsDeleter{num_vendor}};
  if (!papplPrinterSetDriverDefaults(printer, &data, num_vendor, vendor))
    return "Bad settings: nothing was changed.";
  return "Changes saved.";
}

void ShowPage(pappl_client_t *client, pappl_printer_t *printer, const std::string &status) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  ipp_t *attrs = papplPrinterGetDriverAttributes(printer);
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
  for (const mode_choice_t &choice : kModes) {
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
                          range.label, range.name, range.low, range.high, VendorInt(attrs, range));
  }
  const std::string key = std::string(kPrintDirectionOption) + "-default";
  const char *direction = ippGetString(ippFindAttribute(attrs, key.c_str(), IPP_TAG_KEYWORD), 0, nullptr);
  papplClientHTMLPrintf(client, "<tr><th>Print direction:</th><td><select name=\"%s\">", kPrintDirectionOption);
  for (const print_direction_keyword_t &choice : kPrintDirections) {
    papplClientHTMLPrintf(client, "<option value=\"%s\"%s>%s</option>", choice.keyword,
                          direction && strcmp(direction, choice.keyword) == 0 ? " selected" : "",
                          choice.keyword);
  }
  papplClientHTMLPuts(client, "</select></td></tr>\n"
                              "<tr><th></th><td><input type=\"submit\" value=\"Save Changes\"></td></tr>\n"
                              "</tbody></table></form>\n");
  ippDelete(attrs);

  for (const command_button_t &button : kCommands) {
    papplClientHTMLStartForm(client, papplClientGetURI(client), false);
    papplClientHTMLPrintf(client,
                          "<input type=\"hidden\" name=\"command\" value=\"%s\">"
                          "<input type=\"submit\" value=\"%s\"></form>\n",
                          button.command, button.label);
  }
  papplClientHTMLPrinterFooter(client);
}

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

}  // namespace

void AddMediaPage(pappl_printer_t *printer) {
  char path[256];
  papplPrinterGetPath(printer, "finishing", path, sizeof path);
  pappl_system_t *system = papplPrinterGetSystem(printer);
  papplSystemAddResourceCallback(system, path, "text/html", MediaPage, printer);
  papplPrinterAddLink(printer, "Media & Finishing", path,
                      static_cast<pappl_loptions_t>(PAPPL_LOPTIONS_NAVIGATION | PAPPL_LOPTIONS_STATUS));
}

void AddMediaPages(pappl_system_t *system) {
  // PAPPL holds the system's lock while it walks its printers, and adding a page takes
  // it again: the printers are gathered first.
  std::vector<pappl_printer_t *> printers;
  papplSystemIteratePrinters(
      system,
      [](pappl_printer_t *printer, void *data) {
        static_cast<std::vector<pappl_printer_t *> *>(data)->push_back(printer);
      },
      &printers);
  for (pappl_printer_t *printer : printers) AddMediaPage(printer);
}
