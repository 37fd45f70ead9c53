#pragma once
// PDF documents: the labels found on carrier pages as pages of their own (labelfit/),
// then each page drawn by poppler at the head's resolution with anti-aliasing off (so bars
// and text edges stay sharp instead of turning into dithered gray), as 8-bit gray, and fed
// to the printer's raster callbacks.

#include <pappl/pappl.h>

// Registers the filter; PAPPL then advertises application/pdf.
void AddPdfFilter(pappl_system_t *system);
