#pragma once
// The PPD defaults layer: the Default... attributes of the queue's PPD file, named by the
// environment variable PPD, laid over the built-in defaults.

#include "core/label_doc.h"

// Applies DefaultPageSize, DefaultDarkness, DefaultPrintSpeed, DefaultVertical,
// DefaultHorizontal, DefaultMediaTracking and DefaultPrintMode, each one that is present,
// and logs what it read. Without a PPD that can be opened `doc` is left as it was.
void set_pstops_with_ppd(label_doc_t &doc);
