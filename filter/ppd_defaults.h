#pragma once
// The PPD defaults layer: the Default... attributes of the queue's PPD file, named by the
// environment variable PPD, laid over the built-in defaults.

#include "core/label_doc.h"
#include "filter/setting_text.h"

// Applies DefaultPageSize, DefaultDarkness, DefaultPrintSpeed, DefaultVertical,
// DefaultHorizontal, DefaultMediaTracking and DefaultPrintMode, each one that is present,
// and logs what it read. Without a PPD that can be opened `doc` is left as it was. With
// `sources`, notes which attribute set the darkness, the speed and the label size.
void set_pstops_with_ppd(label_doc_t &doc, limited_settings_t *sources = nullptr);
