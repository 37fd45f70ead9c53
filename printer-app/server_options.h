#pragma once
// The server options PAPPL's main loop hands the system callback, read with the app's
// own defaults: several printers and the web interface, warnings in the log.

#include <pappl/pappl.h>

#include <optional>

// The "server-port" value: 0 (the first free port from 8000) when there is none, nothing
// when it is not a port number.
std::optional<int> ServerPort(const char *text);

// The "log-level" value; warn for none or an unknown one.
pappl_loglevel_t LogLevel(const char *text);

// The "server-options" words ("raw-socket,no-tls" ...) over the default of several
// printers and the web interface; "none" clears everything named before it, and an
// unknown word is passed over.
pappl_soptions_t ServerOptions(const char *text);

// Whether every address `hostname` stands for is 127.0.0.1 or ::1 ("localhost",
// "127.0.0.1", "::1"); false for "*" (all interfaces), for other loopback addresses
// ("127.0.0.2") and for names that do not resolve.
bool IsLoopbackOnly(const char *hostname);
