#pragma once
// What the server keeps across restarts: PAPPL's state (printers, their settings, the
// jobs), and the printer settings PAPPL 1.3.1 forgets (print-speed-default, and a
// darkness of 0), each in a file of its own, written whole or not at all.

#include <pappl/pappl.h>

#include <string>

// Where the state files (".state", ".settings") and the spool (".d") go, as PAPPL's own
// main loop puts them: the snap's folder, the machine's folders for root, else the user's
// configuration folder.
std::string StatePath(const char *suffix);

// Reads both files into `system`, which is not running yet.
void LoadState(pappl_system_t *system);

// PAPPL's save callback: writes both files.
bool SaveState(pappl_system_t *system, void *data);
