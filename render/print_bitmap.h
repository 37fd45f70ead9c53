#pragma once
// Page rendering: every page of a CUPS raster stream becomes one self-contained label
// job (setup commands, BITMAP, PRINT) on standard output.

#include <cups/file.h>

#include "filter/label_doc.h"

// Reads the raster from `file` (opened and closed by the caller) and writes one label
// block per page. Returns 0 when the stream was rendered to its end, 1 when a page had
// to be refused or the output could not be written; the pages before stay whole.
int print_bitmap(const label_doc_t &doc, cups_file_t *file);
