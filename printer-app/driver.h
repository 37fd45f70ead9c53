#pragma once
// The two drivers (203 and 300 dpi): what each printer offers over IPP and in the web
// interface, and the raster callbacks that turn a job's gray lines into label commands
// through the core writer.

#include <pappl/pappl.h>

#include <array>
#include <memory>
#include <string>

extern std::array<pappl_pr_driver_t, 2> g_drivers;

// The printer's own command stream, sent as it is.
inline constexpr const char *kRawFormat = "application/vnd.vantel-label";

// The vendor option that holds the conversion rule, by keyword.
inline constexpr const char *kPrintModeOption = "vantel-print-mode";

// The vendor option that says whether PDF pages are searched for labels (find-labels, the
// default) or printed whole, scaled to the label (whole-page).
inline constexpr const char *kLabelFitOption = "vantel-label-fit";
inline constexpr const char *kFindLabels = "find-labels";
inline constexpr const char *kWholePage = "whole-page";

// A job's print options, as papplJobCreatePrintOptions makes them.
struct PrintOptionsDeleter {
  void operator()(pappl_pr_options_t *options) const { papplJobDeletePrintOptions(options); }
};
using OptionsPtr = std::unique_ptr<pappl_pr_options_t, PrintOptionsDeleter>;

// An array of `count` CUPS options (a form's fields, vendor defaults to set).
struct CupsOptionsDeleter {
  int count = 0;
  void operator()(cups_option_t *options) const { cupsFreeOptions(count, options); }
};
using CupsOptionsPtr = std::unique_ptr<cups_option_t, CupsOptionsDeleter>;

// A vendor option's keyword for a job: the job's own, else the printer's default.
std::string VendorOption(pappl_job_t *job, const pappl_pr_options_t &options, const char *name);

// PAPPL's driver callback: fills the driver data and attributes of `driver_name`.
bool DriverCallback(pappl_system_t *system, const char *driver_name, const char *device_uri,
                    const char *device_id, pappl_pr_driver_data_t *data, ipp_t **attrs,
                    void *context);

// Picks the driver for a printer found by its IEEE-1284 device ID, or null.
const char *AutoAddCallback(const char *device_info, const char *device_uri,
                            const char *device_id, void *context);

// How many jobs a printer holds, printing and waiting: beyond it a new job is answered
// server-error-busy. PAPPL's raw socket listener takes a connection only while the
// printer has room for another job.
inline constexpr int kMaxQueuedJobs = 100;

// Every new printer (added or loaded from the saved state) holds up to kMaxQueuedJobs
// jobs: with PAPPL's default of no limit the raw socket listener stalls once several
// printers exist.
void PrinterCreatedCallback(pappl_printer_t *printer, void *context);

// The callbacks a multi-page document filter drives itself, as PAPPL drives them for
// raster jobs.
bool StartJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);
bool StartPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
               unsigned page);
bool WriteLine(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
               unsigned y, const unsigned char *line);
bool EndPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
             unsigned page);
bool EndJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device);

// Ends `job` as refused: `reason` in its job-state-reasons and `message` as its
// job-state-message. The callback that calls it then returns false, which aborts it.
void RefuseJob(pappl_job_t *job, pappl_jreason_t reason, const char *message);
