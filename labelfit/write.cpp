// The resulting PDF, written with qpdf: each page with labels becomes one page per label.

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "labelfit/labelfit.h"

namespace {

QPDFObjectHandle rect_array(const pdf_rect_t &r) {
  return QPDFObjectHandle::newArray(
      {QPDFObjectHandle::newReal(r.x0, 2), QPDFObjectHandle::newReal(r.y0, 2),
       QPDFObjectHandle::newReal(r.x1, 2), QPDFObjectHandle::newReal(r.y1, 2)});
}

// The page's content streams as an array, whether /Contents is one stream or an array.
std::vector<QPDFObjectHandle> content_streams(QPDFPageObjectHelper &page) {
  QPDFObjectHandle contents = page.getObjectHandle().getKey("/Contents");
  if (contents.isArray()) return contents.getArrayAsVector();
  if (contents.isStream()) return {contents};
  return {};
}

// The picture of a label as an 8-bit gray image.
QPDFObjectHandle picture_image(QPDF &qpdf, const area_picture_t &picture) {
  QPDFObjectHandle image = QPDFObjectHandle::newStream(&qpdf);
  image.replaceStreamData(picture.flate, QPDFObjectHandle::newName("/FlateDecode"),
                          QPDFObjectHandle::newNull());
  QPDFObjectHandle dict = image.getDict();
  dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
  dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
  dict.replaceKey("/Width", QPDFObjectHandle::newInteger(picture.width));
  dict.replaceKey("/Height", QPDFObjectHandle::newInteger(picture.height));
  dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName("/DeviceGray"));
  dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
  return image;
}

// Makes `dict` a page of the label's size that holds only `picture`, centred, its pixels on
// the printer's dots: whole dots from the page's top left corner, one a pixel. The page's
// annotations are in the picture already: left on the page, they would be drawn again, at
// full size where they stood on the old page.
void make_picture_page(QPDF &qpdf, QPDFObjectHandle dict, const area_picture_t &picture) {
  const pdf_rect_t page{0, 0, picture.page_width, picture.page_height};
  dict.replaceKey("/MediaBox", rect_array(page));
  dict.replaceKey("/CropBox", rect_array(page));
  for (const char *key : {"/BleedBox", "/TrimBox", "/ArtBox", "/Annots"}) dict.removeKey(key);
  dict.replaceKey("/Rotate", QPDFObjectHandle::newInteger(0));
  QPDFObjectHandle images = QPDFObjectHandle::newDictionary();
  images.replaceKey("/Label", picture_image(qpdf, picture));
  QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
  resources.replaceKey("/XObject", images);
  dict.replaceKey("/Resources", resources);

  // Drawn a hundredth of a dot inside its dots on every side: poppler draws an image whose
  // edge falls on (or, rounded, a hair over) a pixel's edge a pixel larger, scaled to fit
  // and so smeared.
  const double dot = 72 / picture.dpi, inset = 0.01;
  const double left = (std::floor((picture.page_width / dot - picture.width) / 2) + inset) * dot;
  const double top = (std::floor((picture.page_height / dot - picture.height) / 2) + inset) * dot;
  const double w = (picture.width - 2 * inset) * dot, h = (picture.height - 2 * inset) * dot;
  char text[200];
  snprintf(text, sizeof text, "q %.5f 0 0 %.5f %.5f %.5f cm /Label Do Q\n", w, h, left,
           picture.page_height - top - h);
  dict.replaceKey("/Contents", QPDFObjectHandle::newStream(&qpdf, text));
}

// Makes `page` the page of one label: boxes, turn, and its content drawn inside a clip
// to the label's printed area, so that nothing of a neighbouring label shows, shrunk
// when the area is a little larger than the label.
void make_label_page(QPDF &qpdf, QPDFPageObjectHelper page, const label_area_t &label,
                     int rotate, const std::vector<QPDFObjectHandle> &content,
                     const QPDFObjectHandle &restore) {
  QPDFObjectHandle dict = page.getObjectHandle();
  if (label.picture) {
    make_picture_page(qpdf, dict, *label.picture);
    return;
  }
  dict.replaceKey("/MediaBox", rect_array(label.box));
  dict.replaceKey("/CropBox", rect_array(label.box));
  for (const char *key : {"/BleedBox", "/TrimBox", "/ArtBox"}) dict.removeKey(key);
  dict.replaceKey("/Rotate", QPDFObjectHandle::newInteger((rotate + (label.turn ? 90 : 0)) % 360));

  // Shrinking about the area's centre, which stays the box's centre.
  const double cx = (label.ink.x0 + label.ink.x1) / 2, cy = (label.ink.y0 + label.ink.y1) / 2;
  char clip[240];
  snprintf(clip, sizeof clip, "q %.5f 0 0 %.5f %.3f %.3f cm %.2f %.2f %.2f %.2f re W n\n",
           label.scale, label.scale, cx * (1 - label.scale), cy * (1 - label.scale), label.ink.x0,
           label.ink.y0, label.ink.x1 - label.ink.x0, label.ink.y1 - label.ink.y0);
  std::vector<QPDFObjectHandle> streams{QPDFObjectHandle::newStream(&qpdf, clip)};
  streams.insert(streams.end(), content.begin(), content.end());
  streams.push_back(restore);
  dict.replaceKey("/Contents", QPDFObjectHandle::newArray(streams));
}

}  // namespace

int count_pages(std::span<const char> pdf) {
  try {
    QPDF qpdf;
    qpdf.setSuppressWarnings(true);
    qpdf.processMemoryFile("print job", pdf.data(), pdf.size());
    return static_cast<int>(QPDFPageDocumentHelper(qpdf).getAllPages().size());
  } catch (const std::exception &) {
    return -1;
  }
}

std::string write_labels(std::span<const char> pdf, std::span<const page_labels_t> pages) {
  QPDF qpdf;
  qpdf.setSuppressWarnings(true);
  qpdf.processMemoryFile("print job", pdf.data(), pdf.size());
  QPDFPageDocumentHelper document(qpdf);
  // Boxes, /Rotate and /Resources that a page inherits from the page tree become its own,
  // so that changing them on one page (or its copies) changes no other.
  document.pushInheritedAttributesToPage();
  const std::vector<QPDFPageObjectHelper> all = document.getAllPages();
  if (all.size() != pages.size())
    throw std::runtime_error("qpdf and poppler count different pages");

  // Ends the clip; the content may leave its last token unterminated, hence the newline.
  const QPDFObjectHandle restore = QPDFObjectHandle::newStream(&qpdf, "\nQ\n");
  for (size_t i = 0; i < all.size(); ++i) {
    const std::vector<label_area_t> &labels = pages[i].labels;
    if (labels.empty()) continue;
    QPDFPageObjectHelper original = all[i];
    const std::vector<QPDFObjectHandle> content = content_streams(original);
    // Copies of the untouched page for the second label on, in order after the page.
    std::vector<QPDFPageObjectHelper> targets{original};
    for (size_t k = 1; k < labels.size(); ++k) {
      QPDFPageObjectHelper copy = original.shallowCopyPage();
      document.addPageAt(copy, false, targets.back());
      targets.push_back(copy);
    }
    for (size_t k = 0; k < labels.size(); ++k)
      make_label_page(qpdf, targets[k], labels[k], pages[i].rotate, content, restore);
  }

  QPDFWriter writer(qpdf);
  writer.setOutputMemory();
  writer.setDecodeLevel(qpdf_dl_none);  // the streams as they came, only the new ones added
  // The same job makes the same bytes; qpdf can't do that for an encrypted document.
  if (!qpdf.isEncrypted()) writer.setDeterministicID(true);
  writer.write();
  std::shared_ptr<Buffer> bytes = writer.getBufferSharedPointer();
  return std::string(reinterpret_cast<const char *>(bytes->getBuffer()), bytes->getSize());
}
