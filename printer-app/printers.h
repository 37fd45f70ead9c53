#pragma once
// The printers of a system, gathered first: PAPPL holds the system's lock while it walks
// them, and much of what is done with a printer takes that lock again.

#include <pappl/pappl.h>

#include <vector>

inline std::vector<pappl_printer_t *> Printers(pappl_system_t *system) {
  std::vector<pappl_printer_t *> printers;
  papplSystemIteratePrinters(
      system,
      [](pappl_printer_t *printer, void *list) {
        static_cast<std::vector<pappl_printer_t *> *>(list)->push_back(printer);
      },
      &printers);
  return printers;
}
