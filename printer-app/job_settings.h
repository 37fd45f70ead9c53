#pragma once
// What a job prints with: its label record (size, speed, darkness, offsets, conversion
// rule, stock and finishing) and whether its PDF pages are searched for labels, read
// once a job from its print options, its vendor options and the printer's defaults.

#include <pappl/pappl.h>

#include "core/label_doc.h"

// The printer's own command stream, sent as it is.
inline constexpr const char *kRawFormat = "application/vnd.vantel-label";

// The vendor option that holds the conversion rule, by keyword.
inline constexpr const char *kPrintModeOption = "vantel-print-mode";

// The vendor option that says whether PDF pages are searched for labels (find-labels, the
// default) or printed whole, scaled to the label (whole-page).
inline constexpr const char *kLabelFitOption = "vantel-label-fit";
inline constexpr const char *kFindLabels = "find-labels";
inline constexpr const char *kWholePage = "whole-page";

struct job_settings_t {
  label_doc_t doc{};
  bool findLabels = true;
};

// The settings of `job` with `options`: each vendor setting the job's own, else the
// printer's default (one copy of the printer's driver attributes for all of them), the
// printer's label mode and tear-off position, and the rest from the print options.
job_settings_t ReadJobSettings(pappl_job_t *job, const pappl_pr_options_t &options);
