#include "printer-app/web.h"

#include <avahi-client/client.h>
#include <avahi-common/simple-watch.h>

#include "printer-app/pages.h"
#include "printer-app/printers.h"

#ifndef VANTEL_VERSION
#define VANTEL_VERSION "0.0.0"
#endif

namespace {

// PAPPL 1.3.1 looks the footer up in the client's language; with none set it looks up a
// null key and the server dies in strcmp for any browser that sends Accept-Language.
constexpr const char *kFooterHtml =
    "vantel-printer-app " VANTEL_VERSION;

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
  char path[256];
  papplPrinterGetPath(printer, "printing", path, sizeof path);
  papplSystemRemoveResource(system, path);
  papplSystemAddResourceCallback(system, path, "text/html", PrintingDefaultsPage, printer);
  papplPrinterGetPath(printer, "finishing", path, sizeof path);
  papplSystemAddResourceCallback(system, path, "text/html", MediaPage, printer);
  papplPrinterAddLink(printer, "Media & Finishing", path,
                      static_cast<pappl_loptions_t>(PAPPL_LOPTIONS_NAVIGATION | PAPPL_LOPTIONS_STATUS));
}

void AddEveryPrinterPages(pappl_system_t *system) {
  for (pappl_printer_t *printer : Printers(system)) AddPrinterPages(printer);
}
