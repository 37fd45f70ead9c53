#pragma once
// What a page should look like once it is in the label stream, and label pictures read
// back: for tests that check the filter's output through the preview's stream reader.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/raster.h"

// One label of the command stream as the filter writes it with the built-in settings
// (speed 4, density 7) on a label of widthMm x heightMm, its bitmap at x,y.
std::string LabelText(int widthMm, int heightMm, int x, int y, int widthBytes, int height,
                      const std::string &bits, int copies = 1);

// A page of pseudo-random gray levels, the same for the same seed: every level meets
// every dither cell, so a dot out of place anywhere shows.
TestPage NoisePage(uint32_t bytesPerLine, uint32_t height, uint32_t seed, uint32_t copies = 1);

// The bitmap bytes `page` should have in the label stream in `mode`: the per-pixel
// reference conversion of its rows (padded with white to whole bytes, missing rows white),
// inverted so that a 0 bit is a printed dot.
std::vector<uint8_t> ExpectedStreamBits(const TestPage &page, int mode);

// An 8-bit gray picture read from a PNG file; `error` says why when it could not be read.
struct GrayPicture {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> pixels;  // row after row, 0 black, 255 white
  std::string error;
  uint8_t at(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x]; }
};
GrayPicture ReadPng(const std::string &path);
