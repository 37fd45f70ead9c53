#pragma once
// The system object: the server options PAPPL's main loop knows, with safer defaults
// (localhost only; authentication for the web interface's settings pages when the
// server listens beyond it), the drivers and document filters, the app's own network
// device and web pages, and the saved state.

#include <pappl/pappl.h>

// The main loop's system callback.
pappl_system_t *CreateSystem(int num_options, cups_option_t *options, void *data);
