#pragma once
// The stock and the finishing a printer offers over IPP: media-tracking, label-mode,
// label-tear-offset and the vendor settings IPP has no attribute for. What a job's label
// gets of them is read with the job's other settings (job_settings.h).

#include <pappl/pappl.h>

// Fills the driver data's media-tracking, label-mode and tear-offset values and adds the
// vendor settings to `data` and their -supported and -default attributes to `attrs`.
void AddMediaSetup(pappl_pr_driver_data_t *data, ipp_t *attrs);
