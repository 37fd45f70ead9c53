#pragma once
// Page rendering: every page of a CUPS raster stream becomes one self-contained label
// job (setup commands, BITMAP, PRINT) on standard output, read, converted and written a
// few rows at a time.

#include <cups/file.h>

#include <csignal>

#include "core/label_doc.h"

// Set (from a signal handler) when CUPS cancels the job: from then on no new page starts,
// and a page already begun is completed with white rows and ended without its PRINT.
extern volatile sig_atomic_t g_job_cancelled;

struct printer_follow_t;

// Reads the raster from `file` (opened and closed by the caller) and writes one label
// block per page. Only 8-bit gray pages are printed. Returns 0 when the stream was
// rendered to its end or the job was cancelled, 1 when a page had to be refused, the
// output could not be written or the printer was lost; the pages before stay whole.
// With `follow`, the pages an earlier attempt printed are read and not sent, and each
// label is followed until it is on paper before the next one goes out.
int print_bitmap(const label_doc_t &doc, cups_file_t *file, printer_follow_t *follow = nullptr);

// The least time `copies` copies of a label of `doc` take to print: its length at its
// speed.
double label_print_seconds(const label_doc_t &doc, int copies);
