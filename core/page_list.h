#pragma once
// The printer's stock label sizes, known by their PPD page size names.

#include <array>
#include <cstdint>

#include "core/label_doc.h"

struct page_size_t {
  const char *name;  // "w<width>h<height>", width and height in points
  int32_t width;     // whole millimetres
  int32_t height;    // whole millimetres
};

extern const std::array<page_size_t, 47> g_page_list;

// Stores the size of the first stock size whose name equals `name` exactly (case and all)
// in labelWidth and labelHeight. A name that is in no entry changes nothing and gives
// false.
bool set_stock_page_size(label_doc_t &doc, const char *name);
