// Printed areas of a drawn page: the ink cut at white bands into parts, taken together
// again as a label is read.

#include <algorithm>
#include <cstdint>
#include <optional>

#include "labelfit/labelfit.h"

namespace {

// Whether an area of w x h fits the label of lw x lh as both lie, each side allowed
// kSideTolerance of the label's over it plus `slack`.
bool fits_as_lies(double w, double h, double lw, double lh, double slack) {
  return w <= lw * (1 + kSideTolerance) + slack && h <= lh * (1 + kSideTolerance) + slack;
}

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

// The box round all of `boxes` (at least one).
pixel_box_t join_all(std::span<const pixel_box_t> boxes) {
  pixel_box_t all = boxes.front();
  for (const pixel_box_t &b : boxes.subspan(1)) all = join(all, b);
  return all;
}

// How long `b` is along x (`columns`) or y.
int length(const pixel_box_t &b, bool columns) { return columns ? b.x1 - b.x0 : b.y1 - b.y0; }

// The white between `a` and `b` along x (`columns`) or y; below 0 where they share columns
// (one lies over the other) or rows (side by side).
int gap(const pixel_box_t &a, const pixel_box_t &b, bool columns) {
  return columns ? std::max(a.x0, b.x0) - std::min(a.x1, b.x1)
                 : std::max(a.y0, b.y0) - std::min(a.y1, b.y1);
}

bool intersect(const pixel_box_t &a, const pixel_box_t &b) {
  return gap(a, b, true) < 0 && gap(a, b, false) < 0;
}

// How the text of a part runs on the page: across it, up or down it, or no text at all.
enum class run_t { none, across, sideways };

// The ways parts may lie one under another as they are read: above and below each other
// for text across the page, side by side for text up or down it; either for no text.
constexpr unsigned kAbove = 1, kBeside = 2;
unsigned reading_ways(run_t run) {
  return run == run_t::across ? kAbove : run == run_t::sideways ? kBeside : kAbove | kBeside;
}

// Whether parts read `a` and `b` have no way in common: one's text across the page, the
// other's up or down it.
bool clash(run_t a, run_t b) { return (reading_ways(a) & reading_ways(b)) == 0; }

// The ink of the page in parts: the leaves of cutting at white bands, rows first, then
// columns, again and again until no band is left inside a part.
void leaves(const gray_image_t &image, const pixel_box_t &box, int band,
            std::vector<pixel_box_t> &out) {
  for (bool columns : {false, true}) {
    const std::vector<pixel_box_t> pieces = cut(image, box, columns, band);
    if (pieces.size() < 2) continue;
    for (const pixel_box_t &piece : pieces) leaves(image, piece, band, out);
    return;
  }
  out.push_back(box);
}

// Which pixels lie in a word of text, and what the ink of a box has of it.
struct text_map_t {
  std::vector<uint8_t> in_word;  // one a pixel, rows of image.width
  std::span<const text_word_t> words;

  // Whether the ink in `box` is all text.
  bool text_only(const gray_image_t &image, const pixel_box_t &box) const {
    if (in_word.empty()) return false;
    for (int y = box.y0; y < box.y1; ++y) {
      const uint8_t *row = image.pixels.data() + size_t(y) * image.stride;
      const uint8_t *word = in_word.data() + size_t(y) * size_t(image.width);
      for (int x = box.x0; x < box.x1; ++x)
        if (row[x] < kInkBelow && !word[x]) return false;
    }
    return true;
  }

  // How the text in `box` runs: the way most of its words' area inside it runs.
  run_t run(const pixel_box_t &box) const {
    double across = 0, sideways = 0;
    for (const text_word_t &w : words) {
      const double dx = std::min(w.box.x1, box.x1) - std::max(w.box.x0, box.x0);
      const double dy = std::min(w.box.y1, box.y1) - std::max(w.box.y0, box.y0);
      if (dx > 0 && dy > 0) (w.sideways ? sideways : across) += dx * dy;
    }
    if (across == 0 && sideways == 0) return run_t::none;
    return across >= sideways ? run_t::across : run_t::sideways;
  }
};

text_map_t map_text(const gray_image_t &image, std::span<const text_word_t> words) {
  text_map_t map{{}, words};
  if (words.empty()) return map;
  map.in_word.assign(size_t(image.width) * size_t(image.height), 0);
  // A word's box and a pixel round it: the smoothed edges of its glyphs.
  for (const text_word_t &w : words) {
    const int x0 = std::clamp(w.box.x0 - 1, 0, image.width);
    const int x1 = std::clamp(w.box.x1 + 1, x0, image.width);
    const int y0 = std::clamp(w.box.y0 - 1, 0, image.height);
    const int y1 = std::clamp(w.box.y1 + 1, y0, image.height);
    for (int y = y0; y < y1; ++y)
      std::fill_n(map.in_word.begin() + ptrdiff_t(size_t(y) * size_t(image.width) + size_t(x0)),
                  x1 - x0, uint8_t{1});
  }
  return map;
}

struct splitter_t {
  const gray_image_t &image;
  double label_w, label_h;
  int band;
  const text_map_t &text;

  bool fits(const pixel_box_t &b) const {
    return fits_label(b.x1 - b.x0, b.y1 - b.y0, label_w, label_h, 2);
  }
  // Within kOversize of the label, each side: one label a little too large, not cut,
  // since its pieces would each fit the label turned and slice it.
  bool oversize(const pixel_box_t &b) const {
    return fits_oversize(b.x1 - b.x0, b.y1 - b.y0, label_w, label_h, 2);
  }
  // Whether `b` fits the label the way its text is read: standing as the label stands for
  // text across the page, turned for text up or down it, either way without text.
  bool as_read(const pixel_box_t &b, run_t run) const {
    if (run == run_t::none) return fits(b);
    const bool turned = run == run_t::sideways;
    return fits_as_lies(b.x1 - b.x0, b.y1 - b.y0, turned ? label_h : label_w,
                        turned ? label_w : label_h, 2);
  }
  // Whether pieces read `run`, joined in `b`, fit the label: the way they are read, or
  // the other way when one of them already does not fit the way it is read (a label
  // lying on the page with its text across it). Pieces that each stand as they are read
  // and would fit only together turned (address labels of a sheet one above the other)
  // are not one label.
  bool fits_joined(const pixel_box_t &b, run_t run, std::span<const pixel_box_t> pieces) const {
    if (as_read(b, run)) return true;
    return fits(b) && std::any_of(pieces.begin(), pieces.end(),
                                  [&](const pixel_box_t &p) { return !as_read(p, run); });
  }

  area_t area(const pixel_box_t &box, area_size_t size) const {
    return {box, size, 1, text.text_only(image, box)};
  }

  // The pieces in runs of neighbours, each run fitting the label as read (a piece that
  // does not fit is a run of its own): as few runs as can be, and of those ways the one
  // with the longest run along the cut, so that a small piece at an end (a caption, a
  // footer) is left to itself rather than a label's end cut off; of alike ways, the one
  // whose earlier runs are the longer. Gives where each run starts.
  std::vector<size_t> runs(const std::vector<pixel_box_t> &pieces, bool columns,
                           run_t run_of) const {
    struct best_t {
      size_t count = SIZE_MAX;
      int longest = 0;
      size_t from = 0;
    };
    const size_t n = pieces.size();
    std::vector<best_t> best(n + 1);
    best[0].count = 0;
    for (size_t j = 1; j <= n; ++j) {
      pixel_box_t run = pieces[j - 1];
      for (size_t i = j; i-- > 0;) {
        if (i < j - 1) {
          run = join(run, pieces[i]);
          if (!fits(run)) break;
          if (!fits_joined(run, run_of, std::span(pieces).subspan(i, j - i))) continue;
        }
        if (best[i].count == SIZE_MAX) continue;
        const best_t option{best[i].count + 1, std::max(best[i].longest, length(run, columns)), i};
        if (option.count < best[j].count ||
            (option.count == best[j].count && option.longest > best[j].longest))
          best[j] = option;
      }
    }
    std::vector<size_t> starts;
    for (size_t j = n; j > 0; j = best[j].from) starts.insert(starts.begin(), best[j].from);
    return starts;
  }

  // Appends the areas of `box` (ink bounds holding nothing but what is to be parted, read
  // `run`) to `out`: it whole when it fits (unless not `whole`: pieces that fit only
  // together against the way they are read) or is a little over the label, else its
  // pieces between white bands across `first` (rows when false), then the other way, in
  // runs.
  void split(const pixel_box_t &box, bool first, run_t run, std::vector<area_t> &out,
             bool whole = true) const {
    if (whole && fits(box)) {
      out.push_back(area(box, area_size_t::fits));
      return;
    }
    if (oversize(box) && !fits(box)) {
      out.push_back(area(box, area_size_t::oversize));
      return;
    }
    for (bool columns : {first, !first}) {
      const std::vector<pixel_box_t> pieces = cut(image, box, columns, band);
      if (pieces.size() < 2) continue;
      const std::vector<size_t> starts = runs(pieces, columns, run);
      for (size_t k = 0; k < starts.size(); ++k) {
        const size_t end = k + 1 < starts.size() ? starts[k + 1] : pieces.size();
        split(join_all(std::span(pieces).subspan(starts[k], end - starts[k])), first, run, out);
      }
      return;
    }
    // Not cut: it fits (taken as one only when not `whole`), or is larger than the label;
    // a box a little over the label was taken above.
    out.push_back(area(box, fits(box) ? area_size_t::fits : area_size_t::larger));
  }

  // Whether `b` is no larger than the label, either way round: printed at 100 %.
  bool within(const pixel_box_t &b) const {
    const int w = b.x1 - b.x0, h = b.y1 - b.y0;
    return (w <= label_w && h <= label_h) || (w <= label_h && h <= label_w);
  }

  // The lines of text at the ends of `pieces` (along `columns` when the text runs up or
  // down) that alone make them too large, or larger than the label when `strict`: a
  // caption over or under a label. How many at the start and at the end, the fewest that
  // leave the rest fitting; nothing when none do.
  std::optional<std::pair<size_t, size_t>> captions(const std::vector<pixel_box_t> &pieces,
                                                    bool columns, run_t run, bool strict) const {
    auto line = [&](const pixel_box_t &p) {
      return length(p, columns) <= band && text.text_only(image, p);
    };
    const size_t n = pieces.size();
    size_t lead = 0, tail = 0;
    while (lead < n && line(pieces[lead])) ++lead;
    while (tail < n && line(pieces[n - 1 - tail])) ++tail;
    for (size_t dropped = 1; dropped < n; ++dropped)
      for (size_t a = 0; a <= std::min(dropped, lead); ++a) {
        const size_t b = dropped - a;
        if (b > tail || a + b >= n) continue;
        const std::span<const pixel_box_t> kept = std::span(pieces).subspan(a, n - a - b);
        const pixel_box_t rest = join_all(kept);
        if (fits_joined(rest, run, kept) && (!strict || within(rest)))
          return std::pair{a, b};
      }
    return std::nullopt;
  }

  // Appends the areas of one group of parts taken together, read `run` (its box holds
  // nothing else): the group when it fits, without the captions that make it too large
  // or that only make it larger than the label, else parted.
  void place_group(const pixel_box_t &box, run_t run, std::span<const pixel_box_t> parts,
                   std::vector<area_t> &out) const {
    const bool whole = fits_joined(box, run, parts);
    if (whole && (run == run_t::none || within(box))) {
      out.push_back(area(box, area_size_t::fits));
      return;
    }
    const bool columns = run == run_t::sideways;
    if (run != run_t::none) {
      const std::vector<pixel_box_t> pieces = cut(image, box, columns, band);
      if (const auto ends =
              pieces.size() > 1 ? captions(pieces, columns, run, whole) : std::nullopt) {
        const auto [lead, tail] = *ends;
        for (size_t i = 0; i < lead; ++i) out.push_back(area(pieces[i], area_size_t::fits));
        out.push_back(area(join_all(std::span(pieces).subspan(lead, pieces.size() - lead - tail)),
                           area_size_t::fits));
        for (size_t i = pieces.size() - tail; i < pieces.size(); ++i)
          out.push_back(area(pieces[i], area_size_t::fits));
        return;
      }
    }
    if (whole) {
      out.push_back(area(box, area_size_t::fits));
      return;
    }
    split(box, columns, run, out, false);
  }
};

// A part of the page, and the group it is taken into.
struct part_t {
  pixel_box_t box;
  run_t run = run_t::none;
  bool groups = true;  // fits the label: may be taken together with others
};

struct group_t {
  pixel_box_t box;
  run_t run = run_t::none;
};

// The groups of `parts`: those that fit the label joined in turn by the narrowest white
// between two of them, while one lies under the other as they are read (or one is a line
// turned along the other's side), the box they make together holds no other part of the
// page, and they do not stand each as they are read and fit only together the other way.
// Gives each part's group (the group's first part) and how each group is read.
struct grouping_t {
  std::vector<size_t> of;
  std::vector<run_t> run;  // by group
};

grouping_t group_parts(const std::vector<part_t> &parts, const splitter_t &splitter) {
  const size_t n = parts.size();
  std::vector<size_t> of(n);
  for (size_t i = 0; i < n; ++i) of[i] = i;
  auto root = [&](size_t i) {
    while (of[i] != i) i = of[i] = of[of[i]];
    return i;
  };
  std::vector<group_t> groups(n);
  for (size_t i = 0; i < n; ++i) groups[i] = {parts[i].box, parts[i].run};

  // Neighbours one over the other or side by side, by the white between them.
  struct pair_t {
    int gap;
    size_t a, b;
  };
  std::vector<pair_t> pairs;
  for (size_t a = 0; a < n; ++a)
    for (size_t b = a + 1; b < n; ++b) {
      if (!parts[a].groups || !parts[b].groups) continue;
      const int gap_x = gap(parts[a].box, parts[b].box, true);
      const int gap_y = gap(parts[a].box, parts[b].box, false);
      if (gap_x < 0 || gap_y < 0) pairs.push_back({std::max(gap_x, gap_y), a, b});
    }
  std::stable_sort(pairs.begin(), pairs.end(),
                   [](const pair_t &p, const pair_t &q) { return p.gap < q.gap; });

  // Whether `line` is one line of text read the other way than `label`, along its side
  // and nearer to it than a white band: beside a label read across the page, or over or
  // under a label lying on the page (a tracking number turned a quarter along a label's
  // edge). A caption is a band or more away.
  auto along_side = [&](const group_t &label, const group_t &line) {
    const pixel_box_t &l = label.box, &t = line.box;
    if (std::max(gap(l, t, true), gap(l, t, false)) >= splitter.band) return false;
    // Beside a label read across: thin along x, rows in common; else along y.
    const bool columns = label.run == run_t::across;
    return length(t, columns) <= splitter.band && gap(l, t, !columns) < 0;
  };
  // The groups that g and h take when they join: themselves, and every group with a part
  // inside the box they make (whichever way it is read: a line of text turned inside a
  // label is the label's), until that box holds no other part; nothing when they may not
  // join, or the box comes to hold a part that is no group's (larger than the label). With
  // them, the group they make: its box, and how it is read.
  struct join_t {
    std::vector<size_t> taken;
    group_t group;
  };
  auto joining = [&](size_t rg, size_t rh) -> std::optional<join_t> {
    const group_t &g = groups[rg], &h = groups[rh];
    run_t run;
    const bool above = gap(g.box, h.box, true) < 0;
    const bool beside = gap(g.box, h.box, false) < 0;
    if (clash(g.run, h.run)) {
      const bool g_label = along_side(g, h);
      if (!g_label && !along_side(h, g)) return std::nullopt;
      run = g_label ? g.run : h.run;
    } else {
      const unsigned ways = reading_ways(g.run) & reading_ways(h.run);
      if (!((ways & kAbove) && above) && !((ways & kBeside) && beside)) return std::nullopt;
      run = g.run == run_t::none ? h.run : g.run;
    }
    std::vector<size_t> taken{rg, rh};
    pixel_box_t box = join(g.box, h.box);
    for (size_t k = 0; k < n; ++k) {
      if (!intersect(parts[k].box, box)) continue;
      if (!parts[k].groups) return std::nullopt;
      const size_t rk = root(k);
      if (std::find(taken.begin(), taken.end(), rk) != taken.end()) continue;
      taken.push_back(rk);
      box = join(box, groups[rk].box);
      if (run == run_t::none) run = groups[rk].run;
      k = SIZE_MAX;  // the box grew: look at every part again
    }
    if (splitter.fits(box) && !splitter.as_read(box, run) &&
        std::all_of(taken.begin(), taken.end(),
                    [&](size_t r) { return splitter.as_read(groups[r].box, run); }))
      return std::nullopt;
    return join_t{std::move(taken), {box, run}};
  };
  auto merge = [&](const join_t &made) {
    const size_t into = *std::min_element(made.taken.begin(), made.taken.end());
    for (size_t r : made.taken) of[r] = into;
    groups[into] = made.group;
  };
  // A line of text: a part no thicker than a white band across the way it is read.
  auto line = [&](size_t i) {
    return parts[i].run != run_t::none &&
           length(parts[i].box, parts[i].run == run_t::sideways) <= splitter.band;
  };
  // First the parts read the same way that are more than a line, so that a label is
  // whole; then the lines turned along a label's side; then the rest (a label's own
  // lines, captions). A turned line is so not taken by a caption read its way first.
  for (int phase = 0; phase < 3; ++phase) {
    for (bool joined = true; joined;) {
      joined = false;
      for (const pair_t &p : pairs) {
        const size_t ra = root(p.a), rb = root(p.b);
        if (ra == rb) continue;
        const bool turned = clash(groups[ra].run, groups[rb].run);
        if ((phase == 0 && (turned || line(p.a) || line(p.b))) || (phase == 1 && !turned))
          continue;
        const std::optional<join_t> made = joining(ra, rb);
        if (!made) continue;
        merge(*made);
        joined = true;
      }
    }
  }
  grouping_t grouping{std::vector<size_t>(n), std::vector<run_t>(n)};
  for (size_t i = 0; i < n; ++i) {
    grouping.of[i] = root(i);
    grouping.run[i] = groups[i].run;
  }
  return grouping;
}

// More parts than this and the page is parted as a whole, at its white bands, without
// looking at how its parts are read: a picture of noise, not a carrier's page.
constexpr size_t kMaxParts = 256;

// `areas` in reading order: in rows one under another, each row's areas from the left,
// a row of several areas read the same way within.
void reading_order(std::vector<area_t> &areas, size_t from, size_t to, bool rows) {
  if (to - from < 2) return;
  auto lo = [rows](const area_t &a) { return rows ? a.box.y0 : a.box.x0; };
  auto hi = [rows](const area_t &a) { return rows ? a.box.y1 : a.box.x1; };
  std::stable_sort(areas.begin() + ptrdiff_t(from), areas.begin() + ptrdiff_t(to),
                   [&](const area_t &a, const area_t &b) { return lo(a) < lo(b); });
  size_t start = from;
  int end = hi(areas[from]);
  bool cut = false;
  for (size_t i = from + 1; i <= to; ++i) {
    if (i < to && lo(areas[i]) < end) {
      end = std::max(end, hi(areas[i]));
      continue;
    }
    if (i == to && !cut) break;
    cut = true;
    reading_order(areas, start, i, !rows);
    if (i < to) {
      start = i;
      end = hi(areas[i]);
    }
  }
  if (!cut && rows) reading_order(areas, from, to, false);
}

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
  return fits_as_lies(w, h, lw, lh, slack) || fits_as_lies(w, h, lh, lw, slack);
}

bool fits_oversize(double w, double h, double lw, double lh, double slack) {
  const double over = (1 + kOversize) / (1 + kSideTolerance);
  return fits_label(w, h, lw * over, lh * over, slack);
}

std::vector<area_t> find_areas(const gray_image_t &image, double label_w, double label_h,
                               int band, std::span<const text_word_t> words) {
  std::vector<area_t> areas;
  if (image.width <= 0 || image.height <= 0 ||
      image.pixels.size() < size_t(image.height - 1) * image.stride + size_t(image.width))
    return areas;
  const pixel_box_t ink = ink_bounds(image, {0, 0, image.width, image.height});
  if (ink.x0 == ink.x1) return areas;
  const text_map_t text = map_text(image, words);
  const splitter_t splitter{image, label_w, label_h, std::max(band, 1), text};

  std::vector<pixel_box_t> boxes;
  leaves(image, ink, splitter.band, boxes);
  if (boxes.size() > kMaxParts) {
    splitter.split(ink, false, run_t::none, areas);
  } else {
    std::vector<part_t> parts(boxes.size());
    for (size_t i = 0; i < boxes.size(); ++i)
      parts[i] = {boxes[i], text.run(boxes[i]), splitter.fits(boxes[i])};
    const grouping_t grouping = group_parts(parts, splitter);
    for (size_t i = 0; i < parts.size(); ++i) {
      if (!parts[i].groups) {
        splitter.split(parts[i].box, false, parts[i].run, areas);
        continue;
      }
      if (grouping.of[i] != i) continue;
      std::vector<pixel_box_t> members{parts[i].box};
      for (size_t k = i + 1; k < parts.size(); ++k)
        if (grouping.of[k] == i) members.push_back(parts[k].box);
      splitter.place_group(join_all(members), grouping.run[i], members, areas);
    }
  }
  for (area_t &a : areas)
    a.parts = int(std::count_if(boxes.begin(), boxes.end(), [&](const pixel_box_t &b) {
      return b.x0 >= a.box.x0 && b.y0 >= a.box.y0 && b.x1 <= a.box.x1 && b.y1 <= a.box.y1;
    }));
  reading_order(areas, 0, areas.size(), true);
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
