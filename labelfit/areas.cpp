// Printed areas of a drawn page: ink bounding boxes, cut at white bands, joined again
// while they fit the label.

#include <algorithm>

#include "labelfit/labelfit.h"

namespace {

// Which rows and which columns of `box` hold ink.
struct profile_t {
  std::vector<uint8_t> rows, cols;
};

profile_t ink_profile(const gray_image_t &image, const pixel_box_t &box) {
  profile_t p{std::vector<uint8_t>(box.y1 - box.y0), std::vector<uint8_t>(box.x1 - box.x0)};
  for (int y = box.y0; y < box.y1; ++y) {
    const uint8_t *row = image.pixels.data() + size_t(y) * image.stride;
    for (int x = box.x0; x < box.x1; ++x) {
      if (row[x] < kInkBelow) {
        p.rows[y - box.y0] = 1;
        p.cols[x - box.x0] = 1;
      }
    }
  }
  return p;
}

// The first and one past the last set entry of `line`, offset by `origin`; {0, 0} if none.
std::pair<int, int> ink_span(const std::vector<uint8_t> &line, int origin) {
  auto first = std::find(line.begin(), line.end(), 1);
  if (first == line.end()) return {0, 0};
  auto last = std::find(line.rbegin(), line.rend(), 1).base();
  return {origin + int(first - line.begin()), origin + int(last - line.begin())};
}

// The smallest box holding all ink of `box`; an empty box when there is none.
pixel_box_t ink_bounds(const gray_image_t &image, const pixel_box_t &box) {
  profile_t p = ink_profile(image, box);
  auto [x0, x1] = ink_span(p.cols, box.x0);
  auto [y0, y1] = ink_span(p.rows, box.y0);
  return x0 == x1 ? pixel_box_t{} : pixel_box_t{x0, y0, x1, y1};
}

// The ink bounds of the pieces of `box` (itself ink bounds) between white bands of at
// least `band` rows, or columns when `columns` is set, in order.
std::vector<pixel_box_t> cut(const gray_image_t &image, const pixel_box_t &box, bool columns,
                             int band) {
  const profile_t p = ink_profile(image, box);
  const std::vector<uint8_t> &line = columns ? p.cols : p.rows;
  const int origin = columns ? box.x0 : box.y0;
  std::vector<pixel_box_t> pieces;
  auto add = [&](int from, int to) {
    pixel_box_t strip = columns ? pixel_box_t{origin + from, box.y0, origin + to, box.y1}
                                : pixel_box_t{box.x0, origin + from, box.x1, origin + to};
    pieces.push_back(ink_bounds(image, strip));
  };
  // Both ends of the line hold ink (box is ink bounds); a piece ends where a white run
  // of at least `band` begins.
  int start = 0, white = 0;
  for (int i = 0; i < int(line.size()); ++i) {
    if (line[i]) {
      if (white >= band) {
        add(start, i - white);
        start = i;
      }
      white = 0;
    } else {
      ++white;
    }
  }
  add(start, int(line.size()));
  return pieces;
}

pixel_box_t join(const pixel_box_t &a, const pixel_box_t &b) {
  return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

struct splitter_t {
  const gray_image_t &image;
  double label_w, label_h;
  int band;

  bool fits(const pixel_box_t &b) const {
    return fits_label(b.x1 - b.x0, b.y1 - b.y0, label_w, label_h, 2);
  }
  // Within kOversize of the label, each side: one label a little too large, not cut,
  // since its pieces would each fit the label turned and slice it.
  bool oversize(const pixel_box_t &b) const {
    return fits_oversize(b.x1 - b.x0, b.y1 - b.y0, label_w, label_h, 2);
  }

  // Appends the areas of `box` (ink bounds) to `out`: label-sized ones, and those that
  // are larger than the label and can't be cut, marked so.
  void split(const pixel_box_t &box, std::vector<area_t> &out) const {
    if (fits(box)) {
      out.push_back({box, area_size_t::fits});
      return;
    }
    if (oversize(box)) {
      out.push_back({box, area_size_t::oversize});
      return;
    }
    for (bool columns : {false, true}) {
      const std::vector<pixel_box_t> pieces = cut(image, box, columns, band);
      if (pieces.size() < 2) continue;
      for (size_t i = 0; i < pieces.size();) {
        pixel_box_t area = pieces[i];
        size_t next = i + 1;
        while (next < pieces.size() && fits(join(area, pieces[next])))
          area = join(area, pieces[next++]);
        split(area, out);
        i = next;
      }
      return;
    }
    out.push_back({box, area_size_t::larger});
  }
};

// The rows (or columns) of `box` that are at least half covered by runs of ink at least
// kLineRun pixels long along them: the lines of a frame drawn round it, solid or dashed.
// Text has shorter runs, however much of a row it covers.
constexpr int kLineRun = 4;

std::vector<uint8_t> long_lines(const gray_image_t &image, const pixel_box_t &box, bool columns) {
  const int length = columns ? box.y1 - box.y0 : box.x1 - box.x0;
  const int lines = columns ? box.x1 - box.x0 : box.y1 - box.y0;
  auto ink = [&](int line, int along) {
    const int x = columns ? box.x0 + line : box.x0 + along;
    const int y = columns ? box.y0 + along : box.y0 + line;
    return image.pixels[size_t(y) * image.stride + size_t(x)] < kInkBelow;
  };
  std::vector<uint8_t> out(size_t(std::max(lines, 0)));
  for (int line = 0; line < lines; ++line) {
    int covered = 0, run = 0;
    for (int along = 0; along <= length; ++along) {
      if (along < length && ink(line, along)) {
        ++run;
        continue;
      }
      if (run >= kLineRun) covered += run;
      run = 0;
    }
    out[size_t(line)] = 2 * covered >= length;
  }
  return out;
}

// The first and one past the last entry of the outermost lines' inner edges: the run of
// set entries from each end's first set one is the line's width.
std::optional<std::pair<int, int>> inner_edges(const std::vector<uint8_t> &lines) {
  auto [first, last] = ink_span(lines, 0);
  if (last - first < 3) return std::nullopt;
  while (first < last && lines[first]) ++first;
  while (last > first && lines[last - 1]) --last;
  if (first >= last) return std::nullopt;
  return std::pair{first, last};
}

}  // namespace

bool fits_label(double w, double h, double lw, double lh, double slack) {
  auto within = [slack](double side, double limit) {
    return side <= limit * (1 + kSideTolerance) + slack;
  };
  return (within(w, lw) && within(h, lh)) || (within(w, lh) && within(h, lw));
}

bool fits_oversize(double w, double h, double lw, double lh, double slack) {
  const double over = (1 + kOversize) / (1 + kSideTolerance);
  return fits_label(w, h, lw * over, lh * over, slack);
}

std::vector<area_t> find_areas(const gray_image_t &image, double label_w, double label_h,
                               int band) {
  std::vector<area_t> areas;
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() < size_t(image.height - 1) * image.stride + size_t(image.width))
    return areas;
  const pixel_box_t ink = ink_bounds(image, {0, 0, image.width, image.height});
  if (ink.x0 == ink.x1) return areas;
  const splitter_t splitter{image, label_w, label_h, std::max(band, 1)};
  splitter.split(ink, areas);
  return areas;
}

std::optional<frame_t> find_frame(const gray_image_t &image, const pixel_box_t &box) {
  // The frame's top and bottom lines first, then its sides between them: a caption or a
  // pair of scissors beside the frame makes the box wider, not the frame's sides shorter.
  const std::vector<uint8_t> row_lines = long_lines(image, box, false);
  const std::optional<std::pair<int, int>> rows = inner_edges(row_lines);
  if (!rows) return std::nullopt;
  const auto [top, bottom] = ink_span(row_lines, box.y0);
  const pixel_box_t between{box.x0, top, box.x1, bottom};
  const std::vector<uint8_t> col_lines = long_lines(image, between, true);
  const std::optional<std::pair<int, int>> cols = inner_edges(col_lines);
  if (!cols) return std::nullopt;
  const auto [left, right] = ink_span(col_lines, box.x0);
  const pixel_box_t inside{box.x0 + cols->first, box.y0 + rows->first, box.x0 + cols->second,
                           box.y0 + rows->second};
  const pixel_box_t ink = ink_bounds(image, inside);
  if (ink.x0 == ink.x1) return std::nullopt;
  return frame_t{{left, top, right, bottom}, ink};
}
