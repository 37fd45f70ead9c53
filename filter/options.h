#pragma once
// The job option layer: built-in defaults, then the queue's PPD defaults, then the
// options the user gave with the job.

#include <cups/cups.h>

#include "core/label_doc.h"
#include "filter/setting_text.h"

// Fills `doc` for the whole job. Recognises the options Darkness, PrintSpeed, Horizontal,
// Vertical, MediaTracking, PrintMode and PageSize, and the stock and finishing settings
// (kMediaSettings: GapHeight, LabelMode, ...) by their exact names; only the first option
// of each name counts, even when its value means nothing. Every other option is ignored.
// With `sources`, notes which text set the darkness, the speed and the label size.
void set_pstops_options(label_doc_t &doc, int num_options, const cups_option_t *options,
                        limited_settings_t *sources = nullptr);
