#pragma once
// The web interface and the printer-level extras PAPPL 1.3.1 leaves out: the system's
// footer (without one every page of the web interface ends the server), the printer's
// own Printing Defaults page in a label shop's words, the -default attributes PAPPL
// lists as settable but never returns, and Identify-Printer as the printer's beep.

#include <pappl/pappl.h>

// Sets what every page of the web interface needs from the system: its footer, and an
// Add Printer page that does not end the server when the DNS-SD daemon is not running.
void SetUpWebInterface(pappl_system_t *system);

// Puts the app's Printing Defaults page in place of PAPPL's at the printer's
// "/printing" path. Called for every printer, added or loaded.
void AddPrinterPages(pappl_printer_t *printer);

// Brings "print-darkness-default" and "print-speed-default" in the printer's attributes
// up to date with its settings; changes nothing when they already are.
void UpdateDefaultAttributes(pappl_printer_t *printer);

// PAPPL's identify callback: the printer beeps.
void IdentifyPrinter(pappl_printer_t *printer, pappl_identify_actions_t actions,
                     const char *message);

// What the printer gets for Identify-Printer: one beep.
inline constexpr const char kIdentifyCommand[] = "SOUND 5,100\r\n";
