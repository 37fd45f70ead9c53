#include "tests/labelfit/test_pdf.h"

#include <poppler-document.h>
#include <poppler-page-renderer.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cstdio>
#include <memory>
#include <string>

namespace {

QPDFObjectHandle rect_array(const pdf_rect_t &r) {
  return QPDFObjectHandle::newFromRectangle({r.x0, r.y0, r.x1, r.y1});
}

}  // namespace

std::string make_pdf(const std::vector<test_page_t> &pages) {
  QPDF qpdf;
  qpdf.emptyPDF();
  QPDFPageDocumentHelper document(qpdf);
  for (const test_page_t &p : pages) {
    std::string content;
    if (p.paper < 1) {
      char fill[128];
      snprintf(fill, sizeof fill, "%g g %g %g %g %g re f\n", p.paper, p.media.x0, p.media.y0,
               p.media.x1 - p.media.x0, p.media.y1 - p.media.y0);
      content += fill;
    }
    content += "0 g\n";
    for (const pdf_rect_t &b : p.boxes) {
      char line[128];
      snprintf(line, sizeof line, "%g %g %g %g re f\n", b.x0, b.y0, b.x1 - b.x0, b.y1 - b.y0);
      content += line;
    }
    // Helvetica's "M" is 0.833 of the size wide, and its words reach 0.718 of it above
    // the baseline and 0.207 below: a size of the box's thickness / 0.7, the baseline a
    // quarter of it in, and the word stretched to its length cover the box.
    for (const test_text_t &t : p.text) {
      const pdf_rect_t &b = t.box;
      const double thick = t.sideways ? b.x1 - b.x0 : b.y1 - b.y0;
      const double length = t.sideways ? b.y1 - b.y0 : b.x1 - b.x0;
      const double size = thick / 0.7;
      char line[256];
      snprintf(line, sizeof line, "%g %g %g %g re f\nBT 3 Tr /F1 %g Tf %g Tz ", b.x0, b.y0,
               b.x1 - b.x0, b.y1 - b.y0, size, 100 * length / (0.833 * size));
      content += line;
      if (t.sideways)
        snprintf(line, sizeof line, "0 1 -1 0 %g %g Tm (M) Tj ET\n", b.x1 - thick / 4, b.y0);
      else
        snprintf(line, sizeof line, "1 0 0 1 %g %g Tm (M) Tj ET\n", b.x0, b.y0 + thick / 4);
      content += line;
    }
    QPDFObjectHandle page = QPDFObjectHandle::parse(
        "<< /Type /Page /Resources << /Font << /F1 << /Type /Font /Subtype /Type1 "
        "/BaseFont /Helvetica >> >> >> >>");
    page.replaceKey("/MediaBox", rect_array(p.media));
    if (p.crop) page.replaceKey("/CropBox", rect_array(*p.crop));
    if (p.rotate) page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(p.rotate));
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&qpdf, content));
    if (p.annotation) {
      const pdf_rect_t &a = *p.annotation;
      char fill[96];
      snprintf(fill, sizeof fill, "0 0 %g %g re f\n", a.x1 - a.x0, a.y1 - a.y0);
      QPDFObjectHandle look = QPDFObjectHandle::newStream(&qpdf, fill);
      look.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
      look.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
      look.getDict().replaceKey("/BBox", rect_array({0, 0, a.x1 - a.x0, a.y1 - a.y0}));
      QPDFObjectHandle annot = QPDFObjectHandle::parse("<< /Type /Annot /Subtype /Square /F 4 >>");
      annot.replaceKey("/Rect", rect_array(a));
      annot.replaceKey("/AP", QPDFObjectHandle::newDictionary({{"/N", look}}));
      page.replaceKey("/Annots", QPDFObjectHandle::newArray({qpdf.makeIndirectObject(annot)}));
    }
    document.addPage(QPDFPageObjectHelper(qpdf.makeIndirectObject(page)), false);
  }
  QPDFWriter writer(qpdf);
  writer.setOutputMemory();
  writer.setDeterministicID(true);
  writer.write();
  std::shared_ptr<Buffer> bytes = writer.getBufferSharedPointer();
  return std::string(reinterpret_cast<const char *>(bytes->getBuffer()), bytes->getSize());
}

drawn_page_t draw_page(const std::string &pdf, int index, double dpi) {
  std::unique_ptr<poppler::document> document{
      poppler::document::load_from_raw_data(pdf.data(), int(pdf.size()))};
  std::unique_ptr<poppler::page> page{document ? document->create_page(index) : nullptr};
  if (!page) return {};
  poppler::page_renderer renderer;
  renderer.set_image_format(poppler::image::format_gray8);
  const poppler::image image = renderer.render_page(page.get(), dpi, dpi);
  drawn_page_t drawn{image.width(), image.height(), std::nullopt, 0};
  for (int y = 0; y < image.height(); ++y) {
    const auto *row =
        reinterpret_cast<const uint8_t *>(image.const_data()) + y * image.bytes_per_row();
    for (int x = 0; x < image.width(); ++x) {
      if (row[x] >= kInkBelow) continue;
      ++drawn.ink_pixels;
      if (!drawn.ink) drawn.ink = pixel_box_t{x, y, x + 1, y + 1};
      drawn.ink = pixel_box_t{std::min(drawn.ink->x0, x), std::min(drawn.ink->y0, y),
                              std::max(drawn.ink->x1, x + 1), std::max(drawn.ink->y1, y + 1)};
    }
  }
  return drawn;
}
