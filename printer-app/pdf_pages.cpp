#include "printer-app/pdf_pages.h"

#include <poppler/cpp/poppler-image.h>
#include <poppler/cpp/poppler-page-renderer.h>

#include <algorithm>
#include <cstring>

namespace {

// How a page lands on the label: drawn at `dpi`, turned a quarter when that lets it be
// drawn larger, never enlarged, shrunk to fit when it is larger than the label.
struct placement_t {
  double dpi;
  poppler::rotation_enum rotate;
};

placement_t Place(const poppler::page &page, int dpi, unsigned width, unsigned height) {
  const poppler::rectf box = page.page_rect(poppler::media_box);
  double w = box.width() * dpi / 72.0, h = box.height() * dpi / 72.0;
  const bool sideways = page.orientation() == poppler::page::landscape ||
                        page.orientation() == poppler::page::seascape;
  if (sideways) std::swap(w, h);
  const double upright = std::min(width / w, height / h), turned = std::min(width / h, height / w);
  const bool turn = upright < 1 && turned > upright;
  return {dpi * std::min(1.0, turn ? turned : upright), turn ? poppler::rotate_90 : poppler::rotate_0};
}

}  // namespace

std::vector<uint8_t> DrawPdfPage(const poppler::page &page, unsigned width, unsigned height, int dpi) {
  std::vector<uint8_t> gray(size_t{width} * height, 255);
  const placement_t placement = Place(page, dpi, width, height);
  poppler::page_renderer renderer;
  renderer.set_render_hints(0);  // no anti-aliasing of shapes or text, no hinting
  renderer.set_image_format(poppler::image::format_gray8);
  const poppler::image image =
      renderer.render_page(&page, placement.dpi, placement.dpi, -1, -1, -1, -1, placement.rotate);
  if (!image.is_valid()) return gray;
  const unsigned w = std::min<unsigned>(image.width(), width), h = std::min<unsigned>(image.height(), height);
  const unsigned left = (width - w) / 2, top = (height - h) / 2;
  for (unsigned y = 0; y < h; ++y) {
    memcpy(gray.data() + size_t{top + y} * width + left,
           image.const_data() + size_t{y} * image.bytes_per_row(), w);
  }
  return gray;
}

