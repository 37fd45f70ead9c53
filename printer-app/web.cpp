#include "printer-app/web.h"

#include <avahi-client/client.h>
#include <avahi-common/simple-watch.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>

#include "printer-app/driver.h"
#include "printer-app/label_settings.h"

#ifndef VANTEL_VERSION
#define VANTEL_VERSION "0.0.0"
#endif

namespace {

struct IppDeleter {
  void operator()(ipp_t *ipp) const { ippDelete(ipp); }
};
using IppPtr = std::unique_ptr<ipp_t, IppDeleter>;


// PAPPL 1.3.1 looks the footer up in the client's language; with none set it looks up a
// null key and the server dies in strcmp for any browser that sends Accept-Language.
constexpr const char *kFooterHtml =
    "vantel-printer-app " VANTEL_VERSION;

// The choices of the page, each a value the form posts and the words a shop reads.
struct choice_t {
  const char *value;
  const char *label;
};

constexpr choice_t kLabelFits[] = {
    {kFindLabels, "Find each label on a PDF page (carrier sheets with one or more labels)"},
    {kWholePage, "Print the whole PDF page, scaled to the label"},
};

// PAPPL's print-color-mode: for this printer the question is only whether grays are
// converted by the rule above or always by a threshold.
constexpr choice_t kColorModes[] = {
    {"monochrome", "Convert grays with the conversion rule above"},
    {"bi-level", "Black and white only: a threshold rule, whatever the rule above says"},
};

constexpr choice_t kScalings[] = {
    {"auto", "Automatic: fill the label when the picture's shape is close to it, else fit"},
    {"auto-fit", "Shrink pictures larger than the label, print others at their size"},
    {"fit", "Fit to the label, keeping proportions"},
    {"fill", "Fill the label, cutting off what overflows"},
    {"none", "Actual size"},
};

constexpr choice_t kOrientations[] = {
    {"3", "Portrait"}, {"4", "Landscape"}, {"5", "Reverse landscape"},
    {"6", "Reverse portrait"}, {"7", "As the document is"},
};

std::string PrinterPath(pappl_printer_t *printer, const char *subpath) {
  char path[256];
  papplPrinterGetPath(printer, subpath, path, sizeof path);
  return path;
}

// The keyword a vendor option has as the printer's default.
std::string VendorDefault(pappl_printer_t *printer, const char *option) {
  IppPtr attrs{papplPrinterGetDriverAttributes(printer)};
  const std::string name = std::string(option) + "-default";
  const char *value = ippGetString(ippFindAttribute(attrs.get(), name.c_str(), IPP_TAG_KEYWORD), 0, nullptr);
  return value ? value : "";
}

bool IsChoice(const char *value, std::span<const choice_t> choices) {
  for (const choice_t &choice : choices) {
    if (value && strcmp(value, choice.value) == 0) return true;
  }
  return false;
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

// Reads a posted form into the driver data and vendor options; false when a value is
// none the page offers (nothing is then changed).
bool ReadForm(int count, cups_option_t *form, pappl_pr_driver_data_t &data, int &num_vendor,
              cups_option_t *&vendor) {
  const auto field = [&](const char *name) { return cupsGetOption(name, count, form); };
  if (const char *value = field("orientation-requested")) {
    const auto orientation = FormNumber(value, IPP_ORIENT_PORTRAIT, IPP_ORIENT_NONE);
    if (!orientation) return false;
    data.orient_default = static_cast<ipp_orient_t>(*orientation);
  }
  if (const char *value = field("print-darkness")) {
    const auto level = FormNumber(value, 0, kDarknessLevels - 1);
    if (!level) return false;
    data.darkness_configured = DarknessPercent(*level);
  }
  if (const char *value = field("print-speed")) {
    const auto speed = FormNumber(value, kMinSpeed, kMaxSpeed);
    if (!speed) return false;
    data.speed_default = *speed * kSpeedStep;
  }
  if (const char *value = field("print-color-mode")) {
    if (!IsChoice(value, kColorModes)) return false;
    data.color_default = strcmp(value, "bi-level") == 0 ? PAPPL_COLOR_MODE_BI_LEVEL
                                                         : PAPPL_COLOR_MODE_MONOCHROME;
  }
  if (const char *value = field("print-scaling")) {
    if (!IsChoice(value, kScalings)) return false;
    static const struct { const char *keyword; pappl_scaling_t scaling; } scalings[] = {
        {"auto", PAPPL_SCALING_AUTO}, {"auto-fit", PAPPL_SCALING_AUTO_FIT},
        {"fit", PAPPL_SCALING_FIT},   {"fill", PAPPL_SCALING_FILL},
        {"none", PAPPL_SCALING_NONE}};
    for (const auto &scaling : scalings) {
      if (strcmp(value, scaling.keyword) == 0) data.scaling_default = scaling.scaling;
    }
  }
  if (const char *value = field(kPrintModeOption)) {
    bool known = false;
    for (const print_mode_t &mode : kPrintModes) known = known || strcmp(value, mode.keyword) == 0;
    if (!known) return false;
    num_vendor = cupsAddOption(kPrintModeOption, value, num_vendor, &vendor);
  }
  if (const char *value = field(kLabelFitOption)) {
    if (!IsChoice(value, kLabelFits)) return false;
    num_vendor = cupsAddOption(kLabelFitOption, value, num_vendor, &vendor);
  }
  return true;
}

const char *SaveForm(pappl_client_t *client, pappl_printer_t *printer, pappl_pr_driver_data_t &data) {
  cups_option_t *form = nullptr;
  const int count = papplClientGetForm(client, &form);
  CupsOptionsPtr formOwner{form, CupsOptionsDeleter{count}};
  if (count == 0) return "Invalid form data.";
  if (!papplClientIsValidForm(client, count, form)) return "Invalid form submission.";
  int num_vendor = 0;
  cups_option_t *vendor = nullptr;
  const bool read = ReadForm(count, form, data, num_vendor, vendor);
  CupsOptionsPtr vendorOwner{vendor, CupsOptionsDeleter{num_vendor}};
  if (!read || !papplPrinterSetDriverDefaults(printer, &data, num_vendor, vendor))
    return "Bad printer defaults: nothing was changed.";
  UpdateDefaultAttributes(printer);
  return "Changes saved.";
}

void ShowPage(pappl_client_t *client, pappl_printer_t *printer, const pappl_pr_driver_data_t &data,
              const char *status) {
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
  Select(client, kPrintModeOption, modes, VendorDefault(printer, kPrintModeOption));
  EndRow(client, "How grays become dots: a threshold for text and barcodes, a dither for photos.");

  Row(client, "Label finding");
  Select(client, kLabelFitOption, kLabelFits, VendorDefault(printer, kLabelFitOption));
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
  for (const choice_t &choice : kColorModes) {
    papplClientHTMLPrintf(client, "<label><input type=\"radio\" name=\"print-color-mode\" value=\"%s\"%s> %s</label><br>",
                          choice.value, color == choice.value ? " checked" : "", choice.label);
  }
  EndRow(client, "A job may ask for either (print-color-mode); this is what jobs get that do not.");

  Row(client, "Scaling");
  static const char *const scalingKeywords[] = {"auto", "auto-fit", "fill", "fit", "none"};
  std::string scaling = "auto";
  for (unsigned i = 0, bit = PAPPL_SCALING_AUTO; bit <= PAPPL_SCALING_NONE; ++i, bit *= 2) {
    if (data.scaling_default == bit) scaling = scalingKeywords[i];
  }
  Select(client, "print-scaling", kScalings, scaling);
  EndRow(client, "For pictures (PNG, JPEG) and whole pages.");

  Row(client, "Orientation");
  Select(client, "orientation-requested", kOrientations, std::to_string(data.orient_default));
  EndRow(client, nullptr);

  Row(client, "Resolution");
  papplClientHTMLPrintf(client, "%d dpi", data.x_default);
  EndRow(client, nullptr);

  papplClientHTMLPuts(client,
                      "              <tr><th></th><td><input type=\"submit\" value=\"Save Changes\"></td></tr>\n"
                      "            </tbody>\n          </table>\n        </form>\n");
  papplClientHTMLPrinterFooter(client);
}

// The Printing Defaults page: shows the printer's defaults and saves a posted form.
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

// Whether the DNS-SD daemon answers. Without it PAPPL 1.3.1's Add Printer page, which
// looks for network printers, aborts the server (avahi_service_browser_new with no client).
bool HaveDnsSd() {
  AvahiSimplePoll *poll = avahi_simple_poll_new();
  if (!poll) return false;
  int error = 0;
  AvahiClient *client = avahi_client_new(avahi_simple_poll_get(poll), AvahiClientFlags(0),
                                         [](AvahiClient *, AvahiClientState, void *) {}, nullptr, &error);
  if (client) avahi_client_free(client);
  avahi_simple_poll_free(poll);
  return client != nullptr;
}

// The Add Printer page when printers cannot be looked for: how to add one instead.
bool AddPrinterPage(pappl_client_t *client, void *) try {
  if (!papplClientHTMLAuthorize(client)) return true;
  if (!papplClientRespond(client, HTTP_STATUS_OK, nullptr, "text/html", 0, 0)) return false;
  papplClientHTMLHeader(client, "Add Printer", 0);
  papplClientHTMLPuts(client,
                      "    <div class=\"row\">\n      <div class=\"col-12\">\n"
                      "        <h1 class=\"title\">Add Printer</h1>\n"
                      "        <p>Looking for printers needs the DNS-SD service (avahi-daemon), which is not "
                      "running on this machine. Start it and restart the printer application, or add the "
                      "printer on this machine with its address:</p>\n"
                      "        <pre>vantel-printer-app add -d labels -m vantel_203dpi -v socket://192.0.2.10:9100\n"
                      "vantel-printer-app add -d labels -m vantel_300dpi -v 'usb://Vantel/Label%20Printer?serial=...'</pre>\n"
                      "        <p><code>vantel-printer-app devices</code> lists the printers it finds.</p>\n"
                      "      </div>\n    </div>\n");
  papplClientHTMLFooter(client);
  return true;
} catch (const std::exception &) {
  return false;
}

}  // namespace

void SetUpWebInterface(pappl_system_t *system) {
  papplSystemSetFooterHTML(system, kFooterHtml);
  // Added before PAPPL adds its own page, which then stays out.
  if (!HaveDnsSd())
    papplSystemAddResourceCallback(system, "/addprinter", "text/html", AddPrinterPage, nullptr);
}

void AddPrinterPages(pappl_printer_t *printer) {
  pappl_system_t *system = papplPrinterGetSystem(printer);
  const std::string path = PrinterPath(printer, "printing");
  papplSystemRemoveResource(system, path.c_str());
  papplSystemAddResourceCallback(system, path.c_str(), "text/html", PrintingDefaultsPage, printer);
}

void UpdateDefaultAttributes(pappl_printer_t *printer) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  // PAPPL keeps "<name>-default" of each vendor option in the printer's attributes, so
  // the two are passed to it as vendor options of this one call.
  const int speed = data.speed_default > 0 ? data.speed_default : kDefaultSpeed * kSpeedStep;
  const std::string darknessText = std::to_string(data.darkness_default);
  const std::string speedText = std::to_string(speed);
  IppPtr attrs{papplPrinterGetDriverAttributes(printer)};
  const auto current = [&](const char *name) {
    ipp_attribute_t *attr = ippFindAttribute(attrs.get(), name, IPP_TAG_INTEGER);
    return attr ? std::to_string(ippGetInteger(attr, 0)) : std::string();
  };
  if (current("print-darkness-default") == darknessText && current("print-speed-default") == speedText)
    return;
  cups_option_t *vendor = nullptr;
  int num_vendor = cupsAddOption("print-darkness", darknessText.c_str(), 0, &vendor);
  num_vendor = cupsAddOption("print-speed", speedText.c_str(), num_vendor, &vendor);
  CupsOptionsPtr vendorOwner{vendor, CupsOptionsDeleter{num_vendor}};
  pappl_pr_driver_data_t defaults = data;
  defaults.num_vendor = 2;
  defaults.vendor[0] = "print-darkness";
  defaults.vendor[1] = "print-speed";
  papplPrinterSetDriverDefaults(printer, &defaults, num_vendor, vendor);
}

void IdentifyPrinter(pappl_printer_t *printer, pappl_identify_actions_t, const char *) {
  // The device is busy while a job prints: the beep is then left out.
  pappl_device_t *device = papplPrinterOpenDevice(printer);
  if (!device) {
    papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN, "Unable to identify the printer: it is busy");
    return;
  }
  papplDeviceWrite(device, kIdentifyCommand, sizeof kIdentifyCommand - 1);
  papplDeviceFlush(device);
  papplPrinterCloseDevice(printer);
}
