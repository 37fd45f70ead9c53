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

  // Appends the label-sized areas of `box` (ink bounds) to `out`; false when some part
  // is larger than the label and can't be cut.
  bool split(const pixel_box_t &box, std::vector<pixel_box_t> &out) const {
    if (fits(box)) {
      out.push_back(box);
      return true;
    }
    for (bool columns : {false, true}) {
      const std::vector<pixel_box_t> pieces = cut(image, box, columns, band);
      if (pieces.size() < 2) continue;
      for (size_t i = 0; i < pieces.size();) {
        pixel_box_t area = pieces[i];
        size_t next = i + 1;
        while (next < pieces.size() && fits(join(area, pieces[next])))
          area = join(area, pieces[next++]);
        if (fits(area)) {
          out.push_back(area);
        } else if (!split(area, out)) {
          return false;
        }
        i = next;
      }
      return true;
    }
    return false;
  }
};

}  // namespace

bool fits_label(double w, double h, double lw, double lh, double slack) {
  auto within = [slack](double side, double limit) {
    return side <= limit * (1 + kSideTolerance) + slack;
  };
  return (within(w, lw) && within(h, lh)) || (within(w, lh) && within(h, lw));
}

std::optional<std::vector<pixel_box_t>> find_areas(const gray_image_t &image, double label_w,
                                                   double label_h, int band) {
  std::vector<pixel_box_t> areas;
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() < size_t(image.height - 1) * image.stride + size_t(image.width))
    return areas;
  const pixel_box_t ink = ink_bounds(image, {0, 0, image.width, image.height});
  if (ink.x0 == ink.x1) return areas;
  const splitter_t splitter{image, label_w, label_h, std::max(band, 1)};
  if (!splitter.split(ink, areas)) return std::nullopt;
  return areas;
}
