#pragma once
// The two drivers (203 and 300 dpi): what each printer offers over IPP and in the web
// interface, and the raster callbacks that turn a job's gray lines into label commands
// through the core writer.

#include <pappl/pappl.h>

#include <array>

#include "core/label_doc.h"

extern std::array<pappl_pr_driver_t, 2> g_drivers;

// PAPPL's driver callback: fills the driver data and attributes of `driver_name`.
bool DriverCallback(pappl_system_t *system, const char *driver_name, const char *device_uri,
                    const char *device_id, pappl_pr_driver_data_t *data, ipp_t **attrs,
                    void *context);

// Picks the driver for a printer found by its IEEE-1284 device ID, or null.
const char *AutoAddCallback(const char *device_info, const char *device_uri,
                            const char *device_id, void *context);

// The callbacks a multi-page document filter drives itself, as PAPPL drives them for
// raster jobs. A filter starts the job with StartLabelJob and the label record it read
// (ReadJobSettings); StartJob, PAPPL's callback, reads the record itself. Both wait for
// the printer to be ready first.
bool StartLabelJob(pappl_job_t *job, pappl_device_t *device, const label_doc_t &doc);
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

// What the printer gets for Identify-Printer: one beep.
inline constexpr const char kIdentifyCommand[] = "SOUND 5,100\r\n";
