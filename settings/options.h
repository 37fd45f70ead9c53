#pragma once
// The job option layer: built-in defaults, then the queue's PPD defaults, then the
// options the user gave with the job.

#include <cups/cups.h>

#include "filter/label_doc.h"

void set_pstops_options(label_doc_t &doc, int num_options, const cups_option_t *options);
