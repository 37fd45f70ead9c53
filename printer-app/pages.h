#pragma once
// The printer's own settings pages, as PAPPL resource callbacks whose data is the
// printer: each shows the printer's settings and saves a posted form (web.h adds them).

#include <pappl/pappl.h>

// "Printing Defaults", in place of PAPPL's: the conversion rule, label finding, darkness,
// speed, gray input, scaling and orientation, in a label shop's words.
bool PrintingDefaultsPage(pappl_client_t *client, void *printer);

// "Media & Finishing": the stock's tracking, what the printer does with a printed label
// and where it stops it, the settings IPP has no attribute for, and buttons for
// calibration, the self-test page and feeding a label.
bool MediaPage(pappl_client_t *client, void *printer);
