#pragma once
// The web interface: what every page needs from the system (its footer, and an Add
// Printer page that does not end the server when the DNS-SD daemon is not running), and
// the printer's own pages (pages.h) in place of PAPPL's Printing Defaults page and beside
// its Media page.

#include <pappl/pappl.h>

// Called once the system is made, before it runs.
void SetUpWebInterface(pappl_system_t *system);

// Adds the pages of `printer`. Not while the saved state is loaded: PAPPL then holds a
// lock that adding a page takes.
void AddPrinterPages(pappl_printer_t *printer);

// Adds the pages of every printer the system has: after its saved state is loaded.
void AddEveryPrinterPages(pappl_system_t *system);
