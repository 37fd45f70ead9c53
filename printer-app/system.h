#pragma once
// The system object: the server options PAPPL's main loop knows, with safer defaults
// (localhost only; authentication for the web interface's settings pages when the
// server listens beyond it), the drivers, the PDF filter, and the saved state with the
// printer settings PAPPL 1.3.1 forgets.

#include <pappl/pappl.h>

// The main loop's system callback.
pappl_system_t *CreateSystem(int num_options, cups_option_t *options, void *data);

// Whether every address `hostname` stands for is 127.0.0.1 or ::1 ("localhost",
// "127.0.0.1", "::1"); false for "*" (all interfaces), for other loopback addresses
// ("127.0.0.2") and for names that do not resolve.
bool IsLoopbackOnly(const char *hostname);
