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

std::string text(const pixel_box_t &b) {
  return std::to_string(b.x0) + "," + std::to_string(b.y0) + "-" + std::to_string(b.x1) + "," +
         std::to_string(b.y1);
}

std::string text(const std::optional<std::vector<pixel_box_t>> &areas) {
  if (!areas) return "none";
  std::string s;
  for (const pixel_box_t &b : *areas) s += (s.empty() ? "" : " ") + text(b);
  return s;
}

// Areas on a 200 x 150 picture with a 40 x 60 label and bands of 5: boxes drawn at
// `level` into white, found in reading order, joined while they fit.
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
      {"larger than the label", {{0, 0, 43, 64}}, 0, "none"},
      {"a band of 5 rows cuts", {{0, 0, 40, 60}, {0, 65, 40, 125}}, 0, "0,0-40,60 0,65-40,125"},
      {"4 rows do not", {{0, 0, 40, 60}, {0, 64, 40, 124}}, 0, "none"},
      {"rows first, then columns, in reading order",
       {{0, 0, 40, 60}, {50, 10, 90, 70}, {0, 80, 40, 140}, {50, 80, 90, 140}}, 0,
       "0,0-40,60 50,10-90,70 0,80-40,140 50,80-90,140"},
      {"a label's own gap does not split it", {{0, 0, 40, 20}, {0, 40, 40, 60}}, 0, "0,0-40,60"},
      {"joined pieces keep within the label",
       {{0, 0, 40, 20}, {0, 30, 40, 50}, {0, 60, 40, 80}}, 0, "0,0-40,50 0,60-40,80"},
      {"a larger area beside a label leaves the page as it is",
       {{0, 0, 40, 60}, {60, 0, 190, 140}}, 0, "none"},
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
