#pragma once
// The "print-darkness-default" and "print-speed-default" PAPPL lists among a printer's
// settable attributes but never returns in its attributes: the app keeps them there as
// vendor options, in step with the printer's settings.

#include <pappl/pappl.h>

// Brings the two attributes up to date with the printer's darkness and speed; changes
// nothing when they already are.
void UpdateDefaultAttributes(pappl_printer_t *printer);
