#pragma once
// What a raster page header says about its pixels, for every program that reads pages:
// any 32-bit value can arrive in a header, so each field is read as the number it holds.

#include <cups/raster.h>

#include <cstdint>
#include <cstring>

// The header's color space as the number it holds: loading a value that names no
// enumerator through the enum type is undefined.
inline unsigned ColorSpace(const cups_page_header2_t &header) {
  uint32_t space;
  static_assert(sizeof space == sizeof header.cupsColorSpace);
  memcpy(&space, &header.cupsColorSpace, sizeof space);
  return space;
}

// The pages the label printers take: one gray byte per pixel, 0 black.
inline bool IsGray8(const cups_page_header2_t &header) {
  return header.cupsBitsPerColor == 8 && header.cupsBitsPerPixel == 8 &&
         (ColorSpace(header) == CUPS_CSPACE_W || ColorSpace(header) == CUPS_CSPACE_SW);
}
