#pragma once
// The stock and the finishing in the printer application: what each printer offers over
// IPP (media-tracking, label-mode, label-tear-offset and the vendor settings IPP has no
// attribute for) and what a job's label gets of them.

#include <pappl/pappl.h>

#include "core/label_doc.h"

// Fills the driver data's media-tracking, label-mode and tear-offset values and adds the
// vendor settings to `data` and their -supported and -default attributes to `attrs`.
void AddMediaSetup(pappl_pr_driver_data_t *data, ipp_t *attrs);

// Sets the stock and finishing fields of `doc` for `job`: the tracking of its media, the
// printer's label mode and tear-off position, and the vendor settings (the job's own,
// else the printer's defaults).
void ApplyMediaSetup(pappl_job_t *job, const pappl_pr_options_t &options, label_doc_t &doc);

// Takes command files (application/vnd.cups-command, as CUPS and lp send them) as jobs:
// each command goes to the printer as its own (calibration for the loaded media's
// tracking, the self-test page, one label fed), and a command it does not have fails
// the job.
void AddCommandFilter(pappl_system_t *system);

// Sends one maintenance command to `printer` as a job of its own; false when the job
// could not be made.
bool SubmitMaintenance(pappl_printer_t *printer, const char *command, const char *username);

// Adds the printer's "Media & Finishing" web page and its link: the stock and finishing
// settings, and buttons for calibration, the self-test page and feeding a label. Not
// while the saved state is loaded: PAPPL then holds the lock that adding a page takes.
void AddMediaPage(pappl_printer_t *printer);

// Adds the page of every printer the system has: after its saved state is loaded.
void AddMediaPages(pappl_system_t *system);
