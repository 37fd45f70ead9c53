// One page: draw it small with poppler, find its printed areas, and place each on a
// label-sized page in the page's own coordinates.

#include <poppler-page-renderer.h>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_String.hh>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "labelfit/labelfit.h"

namespace {

// Pages are drawn at 72 dpi, one pixel a point, unless that would take more than this
// many pixels (a poster-sized page); below kMinDpi a quarter-inch band is too few pixels
// to be told from the page's noise, and such a page holds no label anyway. A label's
// picture of more pixels than that is not drawn: the label goes on as its content.
constexpr double kDrawDpi = 72, kMaxPixels = 16e6, kMinDpi = 12;

// Paper at least this light is white; on a darker (scanned) page ink is kPaperMargin
// below the paper's level. Areas on a sheet of labels line up within kPitchSlack points.
constexpr int kWhitePaper = 245, kPaperMargin = 30;
constexpr double kPitchSlack = 9;

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

// Whether a page of w x h is no wider than the head either way round: a label's page, which
// the rest of the chain scales onto the label, never a sheet to cut.
bool label_page(double w, double h, label_size_t label) {
  const double head = label.head > 0 ? label.head : std::min(label.width, label.height);
  return std::min(w, h) <= head * (1 + kSideTolerance) + 2;
}

// A scanned page's paper is not white: when most of the page is darker than near-white,
// ink is what is clearly darker than the paper and not a lone speck of the scan's noise.
// Gives the cleaned picture (0 ink, 255 paper), or nothing for a page on white paper,
// whose picture is used as drawn.
std::vector<uint8_t> clean_scan(const gray_image_t &image) {
  std::array<size_t, 256> histogram{};
  for (int y = 0; y < image.height; ++y) {
    const uint8_t *row = image.pixels.data() + size_t(y) * image.stride;
    for (int x = 0; x < image.width; ++x) ++histogram[row[x]];
  }
  const size_t half = size_t(image.width) * size_t(image.height) / 2;
  size_t seen = 0;
  int paper = 255;
  while (paper > 0 && (seen += histogram[size_t(paper)]) < half) --paper;
  if (paper >= kWhitePaper) return {};
  const int below = paper - kPaperMargin;
  auto dark = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < image.width && y < image.height &&
           image.pixels[size_t(y) * image.stride + size_t(x)] < below;
  };
  std::vector<uint8_t> clean(size_t(image.width) * size_t(image.height), 255);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      if (dark(x, y) && (dark(x - 1, y) || dark(x + 1, y) || dark(x, y - 1) || dark(x, y + 1)))
        clean[size_t(y) * size_t(image.width) + size_t(x)] = 0;
  return clean;
}

// Whether two lengths are each within half again of the other: about the same.
bool within_half(double p, double q) { return p <= 1.5 * q && q <= 1.5 * p; }

// An area of the page in points on the shown page, and whether it is text only.
struct placed_t {
  pdf_rect_t r;
  bool text_only = false;
};

// Whether another of `fitting` (the page's areas that fit the label) of about the same size
// (each side within half again of the other's) and kind (text only or not) lies one or two
// label pitches across or down from `a`, edges in line within kPitchSlack: a sheet of
// labels, each printed alike. A receipt of text beside a shipping label is not.
bool on_label_pitch(const placed_t &a, const std::vector<placed_t> &fitting,
                    label_size_t label) {
  auto pitch = [](double step, double side) {
    for (int k = 1; k <= 2; ++k)
      if (step >= k * side - kPitchSlack && step <= k * side * (1 + kOversize) + kPitchSlack)
        return true;
    return false;
  };
  for (const placed_t &other : fitting) {
    const pdf_rect_t &b = other.r, &r = a.r;
    if (other.text_only != a.text_only || !within_half(r.x1 - r.x0, b.x1 - b.x0) ||
        !within_half(r.y1 - r.y0, b.y1 - b.y0))
      continue;
    const double dx = std::abs(b.x0 - r.x0), dy = std::abs(b.y0 - r.y0);
    for (const auto &[w, h] : {std::pair{label.width, label.height}, {label.height, label.width}})
      if ((dx <= kPitchSlack && pitch(dy, h)) || (dy <= kPitchSlack && pitch(dx, w))) return true;
  }
  return false;
}

// `r` (points on the shown page) on a page of the label's size as the label lies on the
// shown page, turned a quarter more when `turn`, `r` at its centre, shrunk when it is
// larger than the label.
label_area_t place(const pdf_rect_t &r, bool turn, label_size_t label, const poppler::rectf &crop,
                   int rotate) {
  label_area_t area;
  area.turn = turn;
  const double box_w = turn ? label.height : label.width;
  const double box_h = turn ? label.width : label.height;
  area.scale = std::min({1.0, box_w / (r.x1 - r.x0), box_h / (r.y1 - r.y0)});
  const double cx = (r.x0 + r.x1) / 2, cy = (r.y0 + r.y1) / 2;
  area.ink = to_user(r.x0, r.y0, r.x1, r.y1, crop, rotate);
  area.box = to_user(cx - box_w / 2, cy - box_h / 2, cx + box_w / 2, cy + box_h / 2, crop, rotate);
  return area;
}

// The shown page's rectangle `r` (points) drawn for `area` at the printer's `dpi`: shrunk
// with the area, turned with it, without smoothing of edges (as the printer application
// draws a page), widened to whole pixels; nothing when it can't be drawn.
std::optional<area_picture_t> draw_picture(const poppler::page &page, const pdf_rect_t &r,
                                           const label_area_t &area, label_size_t label,
                                           double shown_height) {
  const double res = label.dpi * area.scale, k = res / 72;
  // Turned a quarter clockwise, the shown page's point (x, y) is (shown_height - y, x).
  const pdf_rect_t t = area.turn ? pdf_rect_t{shown_height - r.y1, r.x0, shown_height - r.y0, r.x1} : r;
  if ((t.x1 - t.x0) * k * (t.y1 - t.y0) * k > kMaxPixels) return std::nullopt;
  const int x0 = int(std::floor(t.x0 * k)), y0 = int(std::floor(t.y0 * k));
  const int x1 = int(std::ceil(t.x1 * k)), y1 = int(std::ceil(t.y1 * k));
  poppler::page_renderer renderer;
  renderer.set_render_hints(0);
  renderer.set_image_format(poppler::image::format_gray8);
  const poppler::image drawn = renderer.render_page(&page, res, res, x0, y0, x1 - x0, y1 - y0,
                                                    area.turn ? poppler::rotate_90 : poppler::rotate_0);
  if (!drawn.is_valid() || drawn.format() != poppler::image::format_gray8 ||
      drawn.width() != x1 - x0 || drawn.height() != y1 - y0)
    return std::nullopt;
  area_picture_t picture;
  picture.width = drawn.width();
  picture.height = drawn.height();
  picture.dpi = label.dpi;
  picture.page_width = label.width;
  picture.page_height = label.height;
  // Compressed at once: a job of many labels holds all their pictures until it is written.
  Pl_String text("label picture", nullptr, picture.flate);
  Pl_Flate flate("label picture", &text, Pl_Flate::a_deflate);
  for (int y = 0; y < picture.height; ++y)
    flate.write(reinterpret_cast<const unsigned char *>(drawn.const_data()) +
                    size_t(y) * size_t(drawn.bytes_per_row()),
                size_t(picture.width));
  flate.finish();
  return picture;
}

std::string at(const pdf_rect_t &r) {
  char text[96];
  snprintf(text, sizeof text, "%s at %.2f, %.2f in", inches(r.x1 - r.x0, r.y1 - r.y0).c_str(),
           r.x0 / 72, r.y0 / 72);
  return text;
}

// The words of the page's text where the page is drawn at `scale` pixels a point, and
// whether each runs up or down the page rather than across it.
std::vector<text_word_t> page_words(const poppler::page &page, double scale) {
  std::vector<text_word_t> words;
  for (const poppler::text_box &word : page.text_list()) {
    const poppler::rectf b = word.bbox();
    if (!(b.width() > 0 && b.height() > 0)) continue;
    words.push_back({{int(std::floor(b.left() * scale)), int(std::floor(b.top() * scale)),
                      int(std::ceil(b.right() * scale)), int(std::ceil(b.bottom() * scale))},
                     word.rotation() % 2 == 1});
  }
  return words;
}

// Whether a frame of `r` is about the label's size, either way round: each side at least
// kOversize short of the label's. Lines round a paragraph are no cut frame of a label.
bool about_label(const pdf_rect_t &r, label_size_t label) {
  const double w = r.x1 - r.x0, h = r.y1 - r.y0, least = 1 - kOversize;
  return (w >= label.width * least && h >= label.height * least) ||
         (w >= label.height * least && h >= label.width * least);
}

double extent(const pdf_rect_t &r) { return (r.x1 - r.x0) * (r.y1 - r.y0); }

// Whether two areas are of about the same size, either way round: the shorter sides, and
// the longer sides, each within half again of the other's.
bool alike(const pdf_rect_t &a, const pdf_rect_t &b) {
  const double aw = a.x1 - a.x0, ah = a.y1 - a.y0, bw = b.x1 - b.x0, bh = b.y1 - b.y0;
  return within_half(std::min(aw, ah), std::min(bw, bh)) &&
         within_half(std::max(aw, ah), std::max(bw, bh));
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
  // A page no wider than the head is a label of its own, larger or smaller than the
  // queue's, never sliced into label-sized pieces. One that fits the label as it lies
  // goes on as it is; the rest of the chain would fill the label with a larger one and
  // cut off its sides, so that is shrunk here, whole, onto the label, turned a quarter
  // when that draws it larger (as the printer application places a page).
  if (label_page(width, height, label)) {
    auto within = [](double side, double want) { return side <= want * (1 + kSideTolerance) + 2; };
    if (within(width, label.width) && within(height, label.height)) {
      out.note = size + ", a label's page, no wider than the head: left as it is";
      return out;
    }
    const double upright = std::min(label.width / width, label.height / height);
    const double turned = std::min(label.width / height, label.height / width);
    const pdf_rect_t whole{0, 0, width, height};
    label_area_t area = place(whole, turned > upright, label, crop, out.rotate);
    if (label.dpi > 0) area.picture = draw_picture(page, whole, area, label, height);
    char text[64];
    snprintf(text, sizeof text, ", shrunk to %.1f %%", area.scale * 100);
    out.note = size + ", a label's page that does not fit the label as it lies: whole" +
               (area.turn ? ", turned" : "") + (area.scale < 1 ? text : "");
    if (area.picture) {
      snprintf(text, sizeof text, ", drawn at %.0f dpi", label.dpi);
      out.note += text;
    }
    out.labels.push_back(std::move(area));
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
  gray_image_t image{
      drawn.width(), drawn.height(), size_t(drawn.bytes_per_row()),
      {reinterpret_cast<const uint8_t *>(drawn.const_data()),
       size_t(drawn.bytes_per_row()) * size_t(drawn.height())}};
  const std::vector<uint8_t> clean = clean_scan(image);
  if (!clean.empty()) image = {image.width, image.height, size_t(image.width), clean};
  const double scale = dpi / 72;  // pixels a point
  const std::vector<text_word_t> words = page_words(page, scale);
  const std::vector<area_t> areas = find_areas(image, label.width * scale, label.height * scale,
                                               int(std::ceil(kBandPoints * scale)), words);
  if (areas.empty()) {
    out.note = size + ", blank: left as it is";
    return out;
  }

  // Each area in points on the shown page, and what it is: why it is a label, or why not.
  auto points = [scale](const pixel_box_t &b) {
    return pdf_rect_t{b.x0 / scale, b.y0 / scale, b.x1 / scale, b.y1 / scale};
  };
  std::vector<placed_t> fitting;
  for (const area_t &a : areas)
    if (a.size == area_size_t::fits) fitting.push_back({points(a.box), a.text_only});
  struct judged_t {
    pdf_rect_t r;
    std::string why;      // a label: why it is one; else why it is left off
    bool label = false;
    bool beside = false;   // a label for its size alone: not beside a label unlike it
    std::string how;       // its cut frame left off
  };
  std::vector<judged_t> judged(areas.size());
  auto take = [](judged_t &j, std::string why, bool beside = false) {
    j.label = true;
    j.beside = beside;
    j.why = std::move(why);
  };
  auto leave = [](judged_t &j, std::string why) {
    j.label = j.beside = false;
    j.why = std::move(why);
  };
  char text[128];
  for (size_t i = 0; i < areas.size(); ++i) {
    judged_t &j = judged[i];
    j.r = points(areas[i].box);
    if (areas[i].size != area_size_t::fits) {
      // A cut frame round the label, about its size and up to kOversize larger: the label
      // inside printed, the frame and whatever is outside it left off.
      const std::optional<frame_t> frame = find_frame(image, areas[i].box);
      const pdf_rect_t outer = frame ? points(frame->frame) : pdf_rect_t{};
      const pdf_rect_t in = frame ? points(frame->inside) : pdf_rect_t{};
      auto oversize = [&](const pdf_rect_t &b) {
        return fits_oversize(b.x1 - b.x0, b.y1 - b.y0, label.width, label.height, 2);
      };
      if (frame && oversize(outer) && about_label(outer, label) && oversize(in)) {
        j.r = in;
        j.how = ", cut frame left off";
        take(j, "");
      } else if (areas[i].size == area_size_t::larger) {
        leave(j, "larger than the label");
      } else {
        take(j, "a little larger than the label", true);
      }
      continue;
    }
    const double fill = (j.r.x1 - j.r.x0) * (j.r.y1 - j.r.y0) / (label.width * label.height);
    snprintf(text, sizeof text, "%.0f %% of the label", fill * 100);
    // The page's only printed area loses nothing by being printed on its own.
    if (areas.size() == 1) {
      take(j, "the page's only printed area");
    } else if (on_label_pitch({j.r, areas[i].text_only}, fitting, label)) {
      take(j, "one of a sheet of labels alike");
    } else if (fill >= kMinFill) {
      take(j, std::string("fills ") + text, true);
    } else {
      leave(j, std::string("fills only ") + text);
    }
  }
  // The page's label: the largest of those that are more than text (a code, a picture, a
  // rule), else the largest. Beside it, what is a label for its size alone is not one
  // when it is text only and the label is not (a receipt, instructions), or when it is
  // not of the label's size (a receipt column).
  size_t main = areas.size();
  for (size_t i = 0; i < areas.size(); ++i) {
    if (!judged[i].label) continue;
    if (main == areas.size() || areas[main].text_only > areas[i].text_only ||
        (areas[main].text_only == areas[i].text_only &&
         extent(judged[i].r) > extent(judged[main].r)))
      main = i;
  }
  for (size_t i = 0; i < areas.size(); ++i) {
    judged_t &j = judged[i];
    if (!j.beside || i == main) continue;
    if (areas[i].text_only && !areas[main].text_only) {
      leave(j, "text only, beside a label");
    } else if (!alike(j.r, judged[main].r)) {
      leave(j, "not the size of the label beside it");
    }
  }

  const bool label_portrait = label.width < label.height;
  std::string taken, left;
  for (size_t i = 0; i < areas.size(); ++i) {
    const judged_t &j = judged[i];
    std::string parts;
    if (areas[i].parts > 1) parts = ", " + std::to_string(areas[i].parts) + " parts";
    if (!j.label) {
      left += (left.empty() ? "" : "; ") + at(j.r) + parts + ", " + j.why;
      continue;
    }
    const pdf_rect_t &r = j.r;
    const double w = r.x1 - r.x0, h = r.y1 - r.y0;
    // An area a little over the label is shrunk to fit rather than left for the rest of
    // the chain, which would scale the page to fill the label and cut its edges.
    label_area_t area = place(r, (w > h && label_portrait) || (w < h && label.width > label.height),
                              label, crop, out.rotate);
    if (!clean.empty() && label.dpi > 0)
      area.picture = draw_picture(page, r, area, label, height);
    taken += std::string(out.labels.empty() ? " " : "; ") + at(r) + (area.turn ? ", turned" : "") +
             parts + (j.why.empty() ? "" : ", " + j.why) + j.how;
    if (area.scale < 1) {
      snprintf(text, sizeof text, ", shrunk to %.1f %%", area.scale * 100);
      taken += text;
    }
    if (area.picture) {
      snprintf(text, sizeof text, ", a scan drawn at %.0f dpi", label.dpi);
      taken += text;
    }
    out.labels.push_back(std::move(area));
  }
  const std::string others = left.empty() ? "" : "; left off: " + left;
  if (out.labels.empty()) {
    out.note = size + ", no label on it: left as it is; " + left;
    return out;
  }
  out.note = size + ", " + std::to_string(out.labels.size()) +
             (out.labels.size() == 1 ? " label:" : " labels:") + taken + others;
  return out;
}
