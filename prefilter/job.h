#pragma once
// What the pre-filter takes from a job: whether to look for labels (LabelFit) and the
// queue's label size, the job's options over the queue's PPD.

#include <optional>

#include "labelfit/labelfit.h"

struct job_fit_t {
  bool find = true;                   // LabelFit: look for the labels on the pages
  std::optional<label_size_t> label;  // the label the pages are printed on, when known
};

// Reads the job's option string `options` (argv[5]) over the PPD at `ppd_path` (nullptr
// or "" for none). The size is the one the rest of the chain makes the pages: the job's
// PageSize or media, else the PPD's default, stock or Custom.WxH; the resolution the job's
// or the PPD's Resolution. LabelFit is the job's value, else the PPD's default, else on.
job_fit_t read_job(const char *ppd_path, const char *options);

// Whether a LabelFit value turns the search off: "Off", and "False" or "No" in any case
// (cupsParseOptions makes "noLabelFit" into LabelFit=false).
bool label_fit_off(const char *value);
