#pragma once
// Command files (application/vnd.cups-command, as CUPS and lp send them) as jobs: each
// command goes to the printer as its own (calibration for the loaded media's tracking,
// the self-test page, one label fed), and a command it does not have fails the job.

#include <pappl/pappl.h>

// Takes command files as jobs on every printer of `system`.
void AddCommandFilter(pappl_system_t *system);

// Sends one maintenance command to `printer` as a job of its own; false when the job
// could not be made.
bool SubmitMaintenance(pappl_printer_t *printer, const char *command, const char *username);
