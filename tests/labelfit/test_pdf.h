#pragma once
// PDFs for the label finding's tests, made with qpdf: pages of any box and turn with
// black rectangles and lines of text on them, so every coordinate is known exactly.

#include <optional>
#include <string>
#include <vector>

#include "labelfit/labelfit.h"

// A line of text as a black box, in user space, with an invisible word over it that poppler
// reads as the page's text: running across the page, or up it when `sideways`.
struct test_text_t {
  pdf_rect_t box;
  bool sideways = false;
};

struct test_page_t {
  pdf_rect_t media;
  std::vector<pdf_rect_t> boxes;    // filled black, in user space
  int rotate = 0;                   // /Rotate
  std::optional<pdf_rect_t> crop;   // /CropBox, none by default
  double paper = 1;                 // the gray the page is filled with first, 1 white
  std::optional<pdf_rect_t> annotation;  // a Square annotation, filled black by its appearance
  std::vector<test_text_t> text;
};

std::string make_pdf(const std::vector<test_page_t> &pages);

// Page `index` of `pdf` drawn at `dpi` (72: one pixel a point; top-left origin): its size,
// the bounds of its ink (nullopt on a blank page) and how many pixels are ink.
struct drawn_page_t {
  int width = 0, height = 0;
  std::optional<pixel_box_t> ink;
  int ink_pixels = 0;
};
drawn_page_t draw_page(const std::string &pdf, int index, double dpi = 72);
