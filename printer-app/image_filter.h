#pragma once
// PNG and JPEG documents: decoded by the app itself (image_decode.h), so that a broken
// file ends its own job at once as a document-format-error, then scaled onto the label
// by PAPPL's image code and printed through the raster callbacks.

#include <pappl/pappl.h>

// Registers the filters; they take the place of PAPPL's own PNG and JPEG printing.
void AddImageFilters(pappl_system_t *system);
