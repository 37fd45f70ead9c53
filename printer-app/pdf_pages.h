#pragma once
// A PDF page drawn for the label: by poppler at the head's resolution with anti-aliasing
// off (so bars and text edges stay sharp instead of turning into dithered gray), as 8-bit
// gray, centred on a white label. No PAPPL here: the fuzzers draw pages the same way.

#include <poppler/cpp/poppler-page.h>

#include <cstdint>
#include <vector>

// The page on a white label of width x height pixels at `dpi`: turned a quarter when
// that lets it be drawn larger, never enlarged, shrunk to fit when larger than the label.
std::vector<uint8_t> DrawPdfPage(const poppler::page &page, unsigned width, unsigned height, int dpi);
