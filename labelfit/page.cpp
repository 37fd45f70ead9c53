// One page: draw it small with poppler, find its printed areas, and place each on a
// label-sized page in the page's own coordinates.

#include <poppler-page-renderer.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "labelfit/labelfit.h"

namespace {

// Pages are drawn at 72 dpi, one pixel a point, unless that would take more than this
// many pixels (a poster-sized page); below kMinDpi a quarter-inch band is too few pixels
// to be told from the page's noise, and such a page holds no label anyway.
constexpr double kDrawDpi = 72, kMaxPixels = 16e6, kMinDpi = 12;

std::string inches(double w, double h) {
  char text[64];
  snprintf(text, sizeof text, "%.2f x %.2f in", w / 72, h / 72);
  return text;
}

int quarter_turns(poppler::page::orientation_enum orientation) {
  switch (orientation) {
    case poppler::page::landscape: return 90;
    case poppler::page::upside_down: return 180;
    case poppler::page::seascape: return 270;
    default: return 0;
  }
}

// A rectangle of the page as shown (points from the top left of the shown crop box,
// x right, y down) in the page's user space, for a page turned `rotate` degrees clockwise.
pdf_rect_t to_user(double x0, double y0, double x1, double y1, const poppler::rectf &crop,
                   int rotate) {
  const double left = crop.left(), bottom = crop.top();
  const double right = left + crop.width(), top = bottom + crop.height();
  switch (rotate) {
    case 90: return {left + y0, bottom + x0, left + y1, bottom + x1};
    case 180: return {right - x1, bottom + y0, right - x0, bottom + y1};
    case 270: return {right - y1, top - x1, right - y0, top - x0};
    default: return {left + x0, top - y1, left + x1, top - y0};
  }
}

// Whether a page of w x h is the label's size either way round, within the tolerance of
// fits_label and 2 points.
bool same_size(double w, double h, label_size_t label) {
  auto near = [](double side, double want) {
    return std::abs(side - want) <= want * kSideTolerance + 2;
  };
  return (near(w, label.width) && near(h, label.height)) ||
         (near(w, label.height) && near(h, label.width));
}

}  // namespace

page_labels_t find_labels(const poppler::page &page, label_size_t label) {
  page_labels_t out;
  out.rotate = quarter_turns(page.orientation());
  const poppler::rectf crop = page.page_rect(poppler::crop_box);
  const bool sideways = out.rotate == 90 || out.rotate == 270;
  const double width = sideways ? crop.height() : crop.width();
  const double height = sideways ? crop.width() : crop.height();
  const std::string size = inches(width, height);
  if (!(width > 0 && height > 0) || !(label.width > 0 && label.height > 0)) {
    out.note = "no page or label size, left as it is";
    return out;
  }
  // The label's size, either way round: the rest of the chain places such a page already.
  if (same_size(width, height, label)) {
    out.note = size + ", the size of the label: left as it is";
    return out;
  }

  const double dpi = std::min(kDrawDpi, 72 * std::sqrt(kMaxPixels / (width * height)));
  if (dpi < kMinDpi) {
    out.note = size + ", too large to look for labels: left as it is";
    return out;
  }
  poppler::page_renderer renderer;
  renderer.set_image_format(poppler::image::format_gray8);
  renderer.set_render_hints(poppler::page_renderer::antialiasing |
                            poppler::page_renderer::text_antialiasing);
  const poppler::image drawn = renderer.render_page(&page, dpi, dpi);
  if (!drawn.is_valid() || drawn.format() != poppler::image::format_gray8) {
    out.note = size + ", could not be drawn: left as it is";
    return out;
  }
  const gray_image_t image{
      drawn.width(), drawn.height(), size_t(drawn.bytes_per_row()),
      {reinterpret_cast<const uint8_t *>(drawn.const_data()),
       size_t(drawn.bytes_per_row()) * size_t(drawn.height())}};
  const double scale = dpi / 72;  // pixels a point
  const std::optional<std::vector<pixel_box_t>> areas =
      find_areas(image, label.width * scale, label.height * scale,
                 int(std::ceil(kBandPoints * scale)));
  if (!areas) {
    out.note = size + ", printed area larger than the " +
               inches(label.width, label.height) + " label: left as it is";
    return out;
  }
  if (areas->empty()) {
    out.note = size + ", blank: left as it is";
    return out;
  }

  const bool label_portrait = label.width < label.height;
  out.note = size + ", " + std::to_string(areas->size()) +
             (areas->size() == 1 ? " label:" : " labels:");
  for (const pixel_box_t &a : *areas) {
    const double x0 = a.x0 / scale, y0 = a.y0 / scale, x1 = a.x1 / scale, y1 = a.y1 / scale;
    const double w = x1 - x0, h = y1 - y0;
    label_area_t area;
    area.turn = (w > h && label_portrait) || (w < h && label.width > label.height);
    // The label as it lies on the shown page, the area at its centre: an area up to the
    // tolerance of fits_label over the label is shrunk to fit rather than left for the
    // rest of the chain, which would scale the page to fill the label and cut its edges.
    const double box_w = area.turn ? label.height : label.width;
    const double box_h = area.turn ? label.width : label.height;
    area.scale = std::min({1.0, box_w / w, box_h / h});
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    area.ink = to_user(x0, y0, x1, y1, crop, out.rotate);
    area.box = to_user(cx - box_w / 2, cy - box_h / 2, cx + box_w / 2, cy + box_h / 2, crop,
                       out.rotate);
    char text[128];
    snprintf(text, sizeof text, "%s %s at %.2f, %.2f in%s", out.labels.empty() ? "" : ";",
             inches(w, h).c_str(), x0 / 72, y0 / 72, area.turn ? ", turned" : "");
    if (area.scale < 1)
      snprintf(text + strlen(text), sizeof text - strlen(text), ", shrunk to %.1f %%",
               area.scale * 100);
    out.note += text;
    out.labels.push_back(area);
  }
  return out;
}
