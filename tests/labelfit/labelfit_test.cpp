// The label finding: printed areas on drawn pictures, labels on real PDF pages in every
// turn and box, and the PDF written from them.

#include <gtest/gtest.h>
#include <poppler-document.h>

#include <cmath>
#include <memory>

#include "labelfit/labelfit.h"
#include "tests/labelfit/test_pdf.h"

namespace {

constexpr label_size_t k4x6{288, 432};
constexpr pdf_rect_t kLetter{0, 0, 612, 792};
constexpr label_size_t k4x2{288, 144, 288};

// A frame of 1-point lines round `r`, dashes `on` long with `off` between (off 0: solid),
// and then `inside`.
std::vector<pdf_rect_t> frame(const pdf_rect_t &r, double on, double off,
                              std::vector<pdf_rect_t> inside) {
  std::vector<pdf_rect_t> lines;
  const double step = on + off;
  for (double x = r.x0; x < r.x1; x += step) {
    const double x1 = std::min(x + on, r.x1);
    lines.push_back({x, r.y0, x1, r.y0 + 1});
    lines.push_back({x, r.y1 - 1, x1, r.y1});
  }
  for (double y = r.y0; y < r.y1; y += step) {
    const double y1 = std::min(y + on, r.y1);
    lines.push_back({r.x0, y, r.x0 + 1, y1});
    lines.push_back({r.x1 - 1, y, r.x1, y1});
  }
  lines.insert(lines.end(), inside.begin(), inside.end());
  return lines;
}

std::string text(const pixel_box_t &b) {
  return std::to_string(b.x0) + "," + std::to_string(b.y0) + "-" + std::to_string(b.x1) + "," +
         std::to_string(b.y1);
}

std::string text(const std::vector<area_t> &areas) {
  std::string s;
  for (const area_t &a : areas)
    s += (s.empty() ? "" : " ") + text(a.box) +
         (a.size == area_size_t::oversize ? " over" : a.size == area_size_t::larger ? " larger" : "") +
         (a.text_only ? " text" : "");
  return s;
}

// Areas on a 200 x 150 picture with a 40 x 60 label and bands of 5: boxes drawn at
// `level` into white, found in reading order, joined while they fit; an area up to 10 %
// over the label is not cut, a larger one that can't be cut is marked.
TEST(FindAreas, CutAtBandsAndJoinedWhileTheyFit) {
  struct Case {
    const char *name;
    std::vector<pixel_box_t> boxes;
    uint8_t level;
    const char *want;
  } cases[] = {
      {"blank", {}, 0, ""},
      {"near-white is no ink", {{10, 10, 30, 30}}, kInkBelow, ""},
      {"light gray is ink", {{10, 10, 30, 30}}, kInkBelow - 1, "10,10-30,30"},
      {"one label", {{10, 10, 50, 70}}, 0, "10,10-50,70"},
      {"2 % and 2 pixels over the label still fit", {{0, 0, 42, 63}}, 0, "0,0-42,63"},
      {"lying landscape", {{0, 0, 60, 40}}, 0, "0,0-60,40"},
      {"up to 10 % over the label", {{0, 0, 43, 64}}, 0, "0,0-43,64 over"},
      {"a label a little over with a gap is not sliced", {{0, 0, 44, 30}, {0, 36, 44, 66}}, 0,
       "0,0-44,66 over"},
      {"larger than the label", {{0, 0, 47, 64}}, 0, "0,0-47,64 larger"},
      {"a band of 5 rows cuts", {{0, 0, 40, 60}, {0, 65, 40, 125}}, 0, "0,0-40,60 0,65-40,125"},
      {"4 rows do not", {{0, 0, 40, 60}, {0, 64, 40, 124}}, 0, "0,0-40,124 larger"},
      {"rows first, then columns, in reading order",
       {{0, 0, 40, 60}, {50, 10, 90, 70}, {0, 80, 40, 140}, {50, 80, 90, 140}}, 0,
       "0,0-40,60 50,10-90,70 0,80-40,140 50,80-90,140"},
      {"a label's own gap does not split it", {{0, 0, 40, 20}, {0, 40, 40, 60}}, 0, "0,0-40,60"},
      {"joined pieces keep within the label",
       {{0, 0, 40, 20}, {0, 30, 40, 50}, {0, 60, 40, 80}}, 0, "0,0-40,50 0,60-40,80"},
      {"a larger area beside a label is marked, the label found",
       {{0, 0, 40, 60}, {60, 0, 190, 140}}, 0, "0,0-40,60 60,0-190,140 larger"},
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> pixels(200 * 150, 255);
    for (const pixel_box_t &b : c.boxes)
      for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x) pixels[y * 200 + x] = c.level;
    const gray_image_t image{200, 150, 200, pixels};
    EXPECT_EQ(text(find_areas(image, 40, 60, 5)), c.want) << c.name;
  }
}

// Parts taken together as they are read, on a 240 x 160 picture with bands of 5: boxes
// drawn black, each a word across the page ("a"), up it ("s") or no text ("-"). A label's
// sections stay one label, what lies beside them or is read the other way does not join
// them, and what is taken together and does not fit is parted where it costs least.
TEST(FindAreas, PartsTakenTogetherAsTheyAreRead) {
  struct Box {
    pixel_box_t box;
    char text = 'a';
  };
  struct Case {
    const char *name;
    std::vector<Box> boxes;
    double label_w, label_h;
    const char *want;
  } cases[] = {
      {"a label's sections stay one; the receipt beside them, cut line and instructions do "
       "not join",
       {{{10, 10, 46, 16}}, {{10, 22, 40, 32}}, {{12, 38, 46, 44}}, {{10, 50, 24, 64}, '-'},
        {{34, 54, 46, 66}, '-'}, {{52, 10, 68, 30}}, {{5, 75, 235, 77}, '-'},
        {{10, 85, 230, 110}}},
       40, 60,
       "10,10-46,66 52,10-68,30 text 5,75-235,77 larger 10,85-230,110 larger text"},
      {"a label lying on the page stays one, the header over it does not join",
       {{{105, 50, 140, 54}}, {{100, 60, 106, 90}, 's'}, {{112, 60, 118, 90}, 's'},
        {{124, 62, 138, 88}, '-'}, {{144, 60, 150, 90}, 's'}},
       40, 60, "105,50-140,54 text 100,60-150,90"},
      {"labels of a sheet, one above another, are not one label turned",
       {{{10, 10, 30, 18}}, {{10, 40, 30, 48}}}, 60, 30, "10,10-30,18 text 10,40-30,48 text"},
      {"without text the same boxes are one label",
       {{{10, 10, 30, 18}, '-'}, {{10, 40, 30, 48}, '-'}}, 60, 30, "10,10-30,48"},
      {"a caption that makes the label too large is left to itself",
       {{{10, 4, 30, 7}}, {{10, 13, 48, 40}}, {{10, 46, 48, 70}, '-'}}, 40, 60,
       "10,4-30,7 text 10,13-48,70"},
      {"a line turned along the label's side is the label's, not the receipt's beside it",
       {{{10, 10, 34, 20}}, {{10, 26, 30, 34}}, {{10, 40, 30, 50}}, {{37, 36, 40, 54}, 's'},
        {{10, 60, 34, 68}}, {{46, 20, 70, 60}}},
       40, 60, "10,10-40,68 text 46,20-70,60 text"},
      {"a line turned along a lying label's edge is the label's, not the caption's over it",
       {{{112, 50, 140, 54}}, {{100, 64, 106, 100}, 's'}, {{112, 61, 140, 63}},
        {{112, 70, 118, 100}, 's'}, {{124, 72, 138, 98}, '-'}, {{144, 70, 150, 100}, 's'}},
       40, 60, "112,50-140,54 text 100,61-150,100"},
      {"too large: parted into the fewest pieces that fit, the longest kept whole",
       {{{10, 4, 30, 12}}, {{10, 18, 40, 44}}, {{10, 50, 40, 76}, '-'}}, 40, 60,
       "10,4-30,12 text 10,18-40,76"},
  };
  for (const Case &c : cases) {
    std::vector<uint8_t> pixels(240 * 160, 255);
    std::vector<text_word_t> words;
    for (const Box &b : c.boxes) {
      for (int y = b.box.y0; y < b.box.y1; ++y)
        for (int x = b.box.x0; x < b.box.x1; ++x) pixels[y * 240 + x] = 0;
      if (b.text != '-') words.push_back({b.box, b.text == 's'});
    }
    const gray_image_t image{240, 160, 240, pixels};
    EXPECT_EQ(text(find_areas(image, c.label_w, c.label_h, 5, words)), c.want) << c.name;
  }
}

// Lines of text across the page, 7 points thick and 12 apart, filling each of `blocks`
// from its top (a paragraph, a receipt): one printed part each.
std::vector<test_text_t> lines(const std::vector<pdf_rect_t> &blocks) {
  std::vector<test_text_t> out;
  for (const pdf_rect_t &b : blocks)
    for (double top = b.y1; top - 7 >= b.y0 - 0.01; top -= 12)
      out.push_back({{b.x0, top - 7, b.x1, top}});
  return out;
}

std::unique_ptr<poppler::page> first_page(const std::unique_ptr<poppler::document> &document) {
  return std::unique_ptr<poppler::page>(document ? document->create_page(0) : nullptr);
}

page_labels_t labels_of(const test_page_t &page, label_size_t label) {
  const std::string pdf = make_pdf({page});
  std::unique_ptr<poppler::document> document{
      poppler::document::load_from_raw_data(pdf.data(), int(pdf.size()))};
  std::unique_ptr<poppler::page> p = first_page(document);
  return p ? find_labels(*p, label) : page_labels_t{};
}

bool near(const pdf_rect_t &a, const pdf_rect_t &b) {
  return std::abs(a.x0 - b.x0) <= 1 && std::abs(a.y0 - b.y0) <= 1 && std::abs(a.x1 - b.x1) <= 1 &&
         std::abs(a.y1 - b.y1) <= 1;
}

std::string text(const pdf_rect_t &r) {
  char s[96];
  snprintf(s, sizeof s, "[%.1f %.1f %.1f %.1f]", r.x0, r.y0, r.x1, r.y1);
  return s;
}

// The labels of one page, in its user space whatever its turn and boxes: the printed
// area where it was drawn, the label's box around it, turned when lying the other way,
// shrunk when a little larger than the label.
TEST(FindLabels, InThePagesOwnCoordinates) {
  struct Want {
    pdf_rect_t ink, box;
    bool turn;
    double scale = 1;
  };
  const pdf_rect_t top_left{18, 342, 306, 774}, small{100, 100, 200, 150};
  struct Case {
    const char *name;
    test_page_t page;
    std::vector<Want> want;
  } cases[] = {
      {"Letter, label top-left", {kLetter, {top_left}}, {{top_left, top_left, false}}},
      // Shown lying, so turned upright again.
      {"Letter turned 90", {kLetter, {top_left}, 90}, {{top_left, top_left, true}}},
      {"Letter turned 180", {kLetter, {top_left}, 180}, {{top_left, top_left, false}}},
      {"Letter turned 270", {kLetter, {top_left}, 270}, {{top_left, top_left, true}}},
      {"MediaBox away from the origin",
       {{100, 200, 712, 992}, {{150, 250, 300, 500}}},
       {{{150, 250, 300, 500}, {81, 159, 369, 591}, false}}},
      {"only what the CropBox shows",
       {kLetter, {{20, 20, 120, 220}, {400, 600, 500, 700}}, 0, pdf_rect_t{0, 0, 300, 400}},
       {{{20, 20, 120, 220}, {-74, -96, 214, 336}, false}}},
      {"landscape area on a portrait label is turned",
       {kLetter, {{50, 100, 482, 388}}},
       {{{50, 100, 482, 388}, {50, 100, 482, 388}, true}}},
      {"a small area is centred on the label's box",
       {kLetter, {small}},
       {{small, {-66, -19, 366, 269}, true}}},
      {"the label inside a dashed cut frame, the frame left off",
       {kLetter, frame({8, 332, 316, 784}, 6, 3, {top_left})},
       {{top_left, top_left, false}}},
      {"two labels, the upper first",
       {kLetter, {{36, 36, 300, 336}, {36, 400, 300, 700}}},
       {{{36, 400, 300, 700}, {24, 334, 312, 766}, false},
        {{36, 36, 300, 336}, {24, -30, 312, 402}, false}}},
      {"a little larger than the label: shrunk to fit",
       {kLetter, {{20, 20, 313, 460}}},
       {{{20, 20, 313, 460}, {22.5, 24, 310.5, 456}, false, 432.0 / 440}}},
      {"a page of the label's size", {{0, 0, 288, 432}, {small}}, {}},
      {"a page of the label's size lying", {{0, 0, 432, 288}, {small}}, {}},
      {"a printed area larger than the label", {kLetter, {{36, 36, 536, 736}}}, {}},
      {"a blank page", {kLetter, {}}, {}},
  };
  for (const Case &c : cases) {
    const page_labels_t got = labels_of(c.page, k4x6);
    ASSERT_EQ(got.labels.size(), c.want.size()) << c.name << ": " << got.note;
    for (size_t i = 0; i < c.want.size(); ++i) {
      const label_area_t &g = got.labels[i];
      EXPECT_TRUE(near(g.ink, c.want[i].ink)) << c.name << ": ink " << text(g.ink);
      EXPECT_TRUE(near(g.box, c.want[i].box)) << c.name << ": box " << text(g.box);
      EXPECT_EQ(g.turn, c.want[i].turn) << c.name;
      EXPECT_NEAR(g.scale, c.want[i].scale, 1e-4) << c.name;
    }
  }
}

// Which areas of a page are labels: the note names each area and why it was left off.
TEST(FindLabels, TakesTheLabelsAndLeavesTheRestOff) {
  const pdf_rect_t label{18, 342, 306, 774};
  // Ten 150 x 40 address blocks at the pitch of a sheet of 4 x 2 in labels, 300 x 144.
  std::vector<pdf_rect_t> sheet;
  for (int row = 0; row < 5; ++row)
    for (int col = 0; col < 2; ++col)
      sheet.push_back({20.0 + 300 * col, 700.0 - 144 * row, 170.0 + 300 * col, 740.0 - 144 * row});
  struct Case {
    const char *name;
    test_page_t page;
    label_size_t label;
    size_t labels;
    const char *note;
  } cases[] = {
      {"a receipt column beside the label",
       {kLetter, {label, {340, 500, 500, 774}}}, k4x6, 1,
       "1 label: 4.00 x 6.00 in at 0.25, 0.25 in, fills 100 % of the label; left off: 2.22 x "
       "3.81 in at 4.72, 0.25 in, fills only 35 % of the label"},
      {"a cut line across the page and instructions under it",
       {kLetter, {label, {18, 300, 594, 301}, {18, 100, 594, 280}}}, k4x6, 1,
       "left off: 8.00 x 0.01 in at 0.25, 6.82 in, larger than the label; 8.00 x 2.50 in at "
       "0.25, 7.11 in, larger than the label"},
      {"a solid cut frame with a caption just above it",
       {kLetter, [&] {
          std::vector<pdf_rect_t> b = frame({8, 330, 316, 778}, 1, 0, {label});
          b.push_back({100, 782, 200, 788});
          return b;
        }()},
       k4x6, 1, "cut frame left off"},
      {"a frame inside the label's size stays", {kLetter, frame(label, 6, 3, {{40, 400, 200, 700}})},
       k4x6, 1, "1 label: 4.00 x 6.00 in at 0.25, 0.25 in"},
      {"a frame far larger than the label is no cut frame",
       {kLetter, frame({8, 232, 400, 784}, 6, 3, {label})}, k4x6, 0, "larger than the label"},
      {"a label 5 % over with a white band across it: shrunk, not sliced",
       {kLetter, {{18, 320, 320, 550}, {18, 570, 320, 774}}}, k4x6, 1, "shrunk to 95.2 %"},
      {"a small area beside a label is left off", {kLetter, {label, {400, 100, 500, 150}}}, k4x6,
       1, "left off: 1.39 x 0.69 in at 5.56, 8.92 in, fills only 4 % of the label"},
      {"small areas and a larger one: no label", {kLetter, {{36, 36, 536, 436}, {100, 600, 200, 650}}},
       k4x6, 0, "no label on it: left as it is; 1.39 x 0.69 in at 1.39, 1.97 in, fills only 4 % of "
       "the label; 6.94 x 5.56 in at 0.50, 4.94 in, larger than the label"},
      {"a sheet of small labels", {kLetter, sheet}, k4x2, 10, "10 labels:"},
      {"a scan's gray paper is no ink", {kLetter, {label, {340, 500, 500, 774}}, 0, {}, 0.85},
       k4x6, 1, "1 label: 4.00 x 6.00 in at 0.25, 0.25 in, fills 100 % of the label; left off"},
      {"a 4 x 6 in page on a 4 x 2 in queue", {{0, 0, 288, 432}, {label}}, k4x2, 1,
       "4.00 x 6.00 in, a label's page that does not fit the label as it lies: whole, turned, "
       "shrunk to 50.0 %"},
      {"a 6 x 4 in page on a 4 x 2 in queue", {{0, 0, 432, 288}, {label}}, k4x2, 1,
       "lies: whole, shrunk to 50.0 %"},
      {"a 2 x 3 in page on a 4 x 2 in queue", {{0, 0, 144, 216}, {{10, 10, 100, 200}}}, k4x2, 1,
       "lies: whole, turned"},
      {"a 4 x 2 in page on a 4 x 6 in queue", {{0, 0, 288, 144}, {label}}, k4x6, 0,
       "no wider than the head: left as it is"},
      {"the sections of a label without a frame, a receipt beside them, a cut line and "
       "instructions under them",
       {kLetter,
        {{30, 560, 280, 610}, {30, 380, 130, 480}, {200, 400, 280, 480}, {18, 330, 594, 331}},
        0, {}, 1, {},
        lines({{30, 740, 280, 760}, {30, 650, 200, 700}, {36, 230, 576, 300},
               {330, 640, 480, 760}})},
       k4x6, 1,
       "1 label: 3.47 x 5.28 in at 0.42, 0.44 in, 5 parts, fills 76 % of the label; left off: "
       "2.08 x 1.60 in at 4.58, 0.44 in, fills only 14 % of the label; 8.00 x 0.01 in at 0.25, "
       "6.40 in, larger than the label; 7.50 x 0.93 in at 0.50, 6.83 in, larger than the label"},
      {"beside a label, a receipt of its size, text only",
       {kLetter, {label}, 0, {}, 1, {}, lines({{340, 466, 540, 774}})}, k4x6, 1,
       "2.78 x 4.26 in at 4.72, 0.25 in, text only, beside a label"},
      {"a dashed box round a notice, as wide as the label is long, is no cut frame",
       {kLetter, frame({30, 200, 490, 260}, 6, 3, {label}), 0, {}, 1, {},
        lines({{40, 210, 480, 250}})},
       k4x6, 1,
       "1 label: 4.00 x 6.00 in at 0.25, 0.25 in, fills 100 % of the label; left off: 6.39 x "
       "0.83 in at 0.42, 7.39 in, not the size of the label beside it"},
      {"beside a label, a column not of its size",
       {kLetter, {label, {340, 354, 470, 774}}}, k4x6, 1,
       "1.81 x 5.83 in at 4.72, 0.25 in, not the size of the label beside it"},
  };
  for (const Case &c : cases) {
    const page_labels_t got = labels_of(c.page, c.label);
    EXPECT_EQ(got.labels.size(), c.labels) << c.name << ": " << got.note;
    EXPECT_NE(got.note.find(c.note), std::string::npos) << c.name << ": " << got.note;
  }
}

// The document written from the labels: one page per label in order, each the label's
// size as shown, with only its own printed area on it, centred; other pages kept.
TEST(FitLabels, OneLabelSizedPagePerLabel) {
  // Two labels side by side 20 points apart: each label's box reaches over the other's
  // area, which only the clip keeps off. Then a page of the label's size, kept.
  const std::string pdf = make_pdf({
      {kLetter, {{36, 100, 236, 400}, {256, 100, 506, 450}}},
      {{0, 0, 288, 432}, {{10, 10, 50, 50}}},
  });
  const fit_result_t fit = fit_labels(pdf, k4x6);
  ASSERT_TRUE(fit.rewritten);
  ASSERT_EQ(fit.notes.size(), 2u);
  EXPECT_NE(fit.notes[0].find("2 labels"), std::string::npos) << fit.notes[0];

  struct Want { int width, height; pixel_box_t ink; } want[] = {
      {288, 432, {44, 66, 244, 366}},  // 200 x 300, centred
      {288, 432, {19, 41, 269, 391}},  // 250 x 350, centred
      {288, 432, {10, 382, 50, 422}},  // as it was
  };
  for (int i = 0; i < 3; ++i) {
    const drawn_page_t page = draw_page(fit.pdf, i);
    EXPECT_EQ(page.width, want[i].width) << "page " << i + 1;
    EXPECT_EQ(page.height, want[i].height) << "page " << i + 1;
    ASSERT_TRUE(page.ink) << "page " << i + 1;
    EXPECT_EQ(text(*page.ink), text(want[i].ink)) << "page " << i + 1;
  }
  EXPECT_EQ(draw_page(fit.pdf, 3).width, 0) << "no fourth page";
  EXPECT_EQ(fit_labels(pdf, k4x6).pdf, fit.pdf) << "the same job makes the same bytes";

  // A landscape label lying on the page is turned upright, drawn whole; one a little
  // larger than the label (10-point squares at the corners of 293 x 440) is shrunk onto
  // it, the squares whole rather than cut by the label's edges.
  struct Case { const char *name; std::vector<pdf_rect_t> boxes; int ink_pixels; } cases[] = {
      {"turned", {{50, 100, 482, 388}}, 288 * 432},
      {"shrunk", {{20, 20, 30, 30}, {303, 20, 313, 30}, {20, 450, 30, 460}, {303, 450, 313, 460}},
       4 * 100},
  };
  for (const Case &c : cases) {
    const drawn_page_t page = draw_page(fit_labels(make_pdf({{kLetter, c.boxes}}), k4x6).pdf, 0);
    EXPECT_EQ(page.width, 288) << c.name;
    EXPECT_EQ(page.height, 432) << c.name;
    EXPECT_NEAR(page.ink_pixels, c.ink_pixels, c.ink_pixels / 10) << c.name;
  }

  // A 4 x 6 in page inked to its edges on a 4 x 2 in label: turned and halved, all of it
  // on the label (216 x 144 points), none of it cut off; as its content, drawn at 72 dpi,
  // or as its picture made for a 203 dpi printer, drawn at 203 dpi one pixel a dot.
  struct Whole { double dpi; int width, height; pixel_box_t ink; } wholes[] = {
      {0, 288, 144, {36, 0, 252, 144}},
      {203, 812, 406, {101, 0, 710, 406}},
  };
  for (const Whole &c : wholes) {
    const std::string pdf = make_pdf({{{0, 0, 288, 432}, {{0, 0, 288, 432}}}});
    const drawn_page_t whole =
        draw_page(fit_labels(pdf, {288, 144, 288, c.dpi}).pdf, 0, c.dpi > 0 ? c.dpi : 72);
    EXPECT_EQ(whole.width, c.width) << c.dpi;
    EXPECT_EQ(whole.height, c.height) << c.dpi;
    ASSERT_TRUE(whole.ink) << c.dpi;
    EXPECT_EQ(text(*whole.ink), text(c.ink)) << c.dpi;
  }

  // Its annotations are in its picture, shrunk with it, and nowhere else: two 100-point
  // squares, one drawn by the page, one an annotation, are two 50-pixel squares.
  test_page_t annotated{{0, 0, 288, 432}, {{20, 300, 120, 400}}};
  annotated.annotation = pdf_rect_t{150, 20, 250, 120};
  const drawn_page_t squares = draw_page(fit_labels(make_pdf({annotated}), {288, 144, 288, 72}).pdf, 0);
  EXPECT_NEAR(squares.ink_pixels, 2 * 50 * 50, 200);
}

// A scan's label, drawn here at the printer's resolution (72 dpi, so one pixel a point as
// draw_page draws it), lands on its label just as the page's own content would, in every
// turn and box of the page.
TEST(FitLabels, AScansLabelIsDrawnWhereItsContentWouldBe) {
  // The label with a mark in one corner, so that a picture turned or flipped shows.
  const std::vector<pdf_rect_t> label{{18, 342, 306, 774}, {30, 730, 90, 760}, {60, 500, 70, 700}};
  struct Case {
    const char *name;
    test_page_t page;
  } cases[] = {
      {"upright", {kLetter, label, 0, {}, 0.92}},
      {"turned 90", {kLetter, label, 90, {}, 0.92}},
      {"turned 180", {kLetter, label, 180, {}, 0.92}},
      {"turned 270", {kLetter, label, 270, {}, 0.92}},
      {"cropped", {kLetter, label, 90, pdf_rect_t{0, 200, 500, 792}, 0.92}},
  };
  for (const Case &c : cases) {
    const std::string pdf = make_pdf({c.page});
    const fit_result_t drawn = fit_labels(pdf, {288, 432, 0, 72});
    const fit_result_t content = fit_labels(pdf, k4x6);
    ASSERT_TRUE(drawn.rewritten && content.rewritten) << c.name << ": " << content.notes[0];
    EXPECT_NE(drawn.notes[0].find("a scan drawn at 72 dpi"), std::string::npos) << drawn.notes[0];
    EXPECT_EQ(content.notes[0].find("a scan"), std::string::npos) << content.notes[0];
    const drawn_page_t want = draw_page(content.pdf, 0), got = draw_page(drawn.pdf, 0);
    ASSERT_TRUE(want.ink && got.ink) << c.name;
    EXPECT_EQ(text(*got.ink), text(*want.ink)) << c.name;
    EXPECT_EQ(got.ink_pixels, want.ink_pixels) << c.name;
  }
}

TEST(FitLabels, LeavesWhatItCannotReadAsItIs) {
  struct Case { const char *name; std::string input; const char *note; } cases[] = {
      {"not a PDF", "%!PS\nshowpage\n", "not a PDF"},
      {"empty", "", "not a PDF"},
      {"nothing to do", make_pdf({{{0, 0, 288, 432}, {{10, 10, 50, 50}}}}), "size of the label"},
  };
  for (const Case &c : cases) {
    const fit_result_t fit = fit_labels(c.input, k4x6);
    EXPECT_FALSE(fit.rewritten) << c.name;
    EXPECT_TRUE(fit.pdf.empty()) << c.name;
    ASSERT_FALSE(fit.notes.empty()) << c.name;
    EXPECT_NE(fit.notes.back().find(c.note), std::string::npos)
        << c.name << ": " << fit.notes.back();
  }
}

}  // namespace
