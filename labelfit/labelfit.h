#pragma once
// Finding the labels on carrier pages. Shipping sites hand out a 4 x 6 in label as one
// corner of a Letter or A4 page, two labels to a page, or a page of the label's size
// turned the other way. These functions draw each page of a PDF at low resolution, find
// its printed areas, decide per page whether it goes on as it is or as one page per label
// (cut to the label's printed area, centred on a label-sized page, turned a quarter where
// the label asks for it), and write the resulting PDF. Nothing here knows CUPS: sizes are
// PDF points (1/72 inch), documents are PDF bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <poppler-page.h>

// A rectangle in PDF points, x0 < x1 and y0 < y1.
struct pdf_rect_t {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// The queue's label as the printer feeds it, in points: 288 x 432 is 4 x 6 in. `head`
// is the widest page the head prints across; 0 takes the label's shorter side. `dpi` is
// the printer's resolution, 0 when not known.
struct label_size_t {
  double width = 0, height = 0;
  double head = 0;
  double dpi = 0;
};

// A label drawn at the printer's resolution, as it is printed (turned where the label
// asks for it): 8-bit gray rows, top to bottom, `dpi` pixels an inch, to be centred on a
// page of page_width x page_height points, the label's size.
struct area_picture_t {
  int width = 0, height = 0;
  std::string flate;  // width * height bytes, 0 black, 255 white, compressed with Flate
  double dpi = 0;
  double page_width = 0, page_height = 0;
};

// One label found on a page, in the page's user space (the coordinates of its MediaBox).
struct label_area_t {
  pdf_rect_t ink;     // the printed area: nothing else of the page shows on the label
  pdf_rect_t box;     // the label's page: the label's size, `ink` at its centre
  bool turn = false;  // turned a quarter clockwise more than the page was
  double scale = 1;   // below 1 for an area a little larger than the label: shrunk to fit
  // The area drawn here one pixel a printer's dot, in place of the page's content, for a
  // scan and for a label's page shrunk onto a smaller label. The rest of the chain draws a
  // scan's picture again by taking the nearest of its pixels, and widens every shape by a
  // fraction of a dot; either moves the edges of a barcode's narrow bars by up to a dot,
  // more than a bar of a shrunk label has to spare. Drawn here, as the printer application
  // draws a page, each dot of a scan is the average of the pixels under it, and a shape
  // covers the dots whose centres it covers.
  std::optional<area_picture_t> picture;
};

// What becomes of one page. No labels: it goes on as it is.
struct page_labels_t {
  int rotate = 0;  // the page's own quarter turns clockwise, 0, 90, 180 or 270
  std::vector<label_area_t> labels;
  std::string note;  // what was found and decided, in a user's words, for the job's log
};

// What becomes of a document.
struct fit_result_t {
  bool rewritten = false;          // false: the input goes on byte for byte as it was
  std::string pdf;                 // the new document when rewritten
  std::vector<std::string> notes;  // one line per page, or why the document was left alone
};

// A white band at least this wide separates two printed areas: a quarter inch.
inline constexpr double kBandPoints = 18;

// A printed area up to this share over the label's sides is still one label, never cut:
// its cut frame is left off, or it is shrunk to fit.
inline constexpr double kOversize = 0.10;

// A printed area that fits the label is a label when it is the page's only one, covers at
// least this share of the label's area, or repeats at the label's pitch across or down
// the page (a sheet of small labels, each perhaps only a few lines of text).
inline constexpr double kMinFill = 0.40;

// How far a side may be off the label's and still count as the label's: this share of
// the label's side, plus a slack for the pixel edges of a drawn page.
inline constexpr double kSideTolerance = 0.02;

// Whether an area of w x h fits the label of lw x lh in either orientation, each side
// allowed kSideTolerance of the label's over it plus `slack`. Any unit, the same for all.
bool fits_label(double w, double h, double lw, double lh, double slack);

// The same with kOversize in place of kSideTolerance: a label a little too large.
bool fits_oversize(double w, double h, double lw, double lh, double slack);

// A gray picture of a page: one byte a pixel, 0 black, 255 white, rows top to bottom.
struct gray_image_t {
  int width = 0, height = 0;
  size_t stride = 0;                // bytes from the start of one row to the next
  std::span<const uint8_t> pixels;  // at least (height - 1) * stride + width bytes
};

// Pixels darker than this are ink: anti-aliased edges and light gray fill count,
// the paper white and near-white noise do not.
inline constexpr uint8_t kInkBelow = 230;

// A box of pixels: columns x0 to x1 - 1, rows y0 to y1 - 1.
struct pixel_box_t {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool operator==(const pixel_box_t &) const = default;
};

// How a printed area compares with the label.
enum class area_size_t {
  fits,      // within fits_label's tolerance: printed at 100 %
  oversize,  // up to kOversize over: one label, its cut frame left off or shrunk to fit
  larger,    // larger than that, and no white band divides it
};

struct area_t {
  pixel_box_t box;
  area_size_t size = area_size_t::fits;
  int parts = 1;           // printed parts, parted by white bands, taken as one
  bool text_only = false;  // nothing but text on it: no code, picture or rule
  bool operator==(const area_t &) const = default;
};

// A word of the page's text where it is drawn, and whether it runs up or down the page
// (the text of a label lying on it) rather than across.
struct text_word_t {
  pixel_box_t box;
  bool sideways = false;
};

// The printed areas of `image` for a label of label_w x label_h pixels, in reading order.
// The parts of the page are the ink parted by white bands of at least `band` pixels. A
// part larger than the label is an area of its own. The others are taken together while
// one lies under another as their text is read (parts with text running across the page
// one above the other, with text running up or down it side by side; parts without text
// either way), with nothing else between or beside them inside the box they make: a
// label's sections stay one label, and the text beside it (a receipt, a shop's header)
// does not join it. What is taken together and does not fit the label is parted again:
// a line of text at its end that alone makes it too large (a caption) is left to itself,
// up to kOversize over the label it is one label, and a larger one is cut at white bands
// into as few pieces that fit as can be. Empty for a blank page.
std::vector<area_t> find_areas(const gray_image_t &image, double label_w, double label_h,
                               int band, std::span<const text_word_t> words = {});

// A frame drawn round a label: its outer edges, and the ink bounds inside its lines.
struct frame_t {
  pixel_box_t frame, inside;
};

// The frame of `box`, when its outermost rows and columns with ink in at least half of
// its width and height (solid or dashed lines) make one; nullopt when they do not or
// nothing is inside it.
std::optional<frame_t> find_frame(const gray_image_t &image, const pixel_box_t &box);

// The labels on one page for the queue's label. A page that already has the label's size
// (either orientation), or is no wider than the head and fits the label as it lies, gets
// none; one no wider than the head that does not fit gets one, the whole page shrunk onto
// the label. A sheet none of whose printed areas is a label gets none. The note says,
// area by area, what was taken and why not.
page_labels_t find_labels(const poppler::page &page, label_size_t label);

// Writes `pdf` again with every page that has labels replaced by one page per label, in
// order: MediaBox and CropBox the label's box, the content clipped to its printed area,
// /Rotate turned where the label says. Other pages are kept. Throws std::exception when
// the document can't be read or written, or has another number of pages than `pages`.
std::string write_labels(std::span<const char> pdf, std::span<const page_labels_t> pages);

// How many pages qpdf finds in `pdf`, reading it as CUPS's pdftopdf does (repairing what
// it can); -1 when it can't read it at all.
int count_pages(std::span<const char> pdf);

// find_labels on every page of `pdf`, then write_labels when some page has labels.
// Never throws: a document that is not a readable PDF, needs a password or can't be
// rewritten is left as it is, and the notes say why.
fit_result_t fit_labels(std::span<const char> pdf, label_size_t label);
