// Arbitrary bytes as a PDF document sent to the printer application: through the label
// finding (a carrier page becomes label-sized pages) and poppler drawing each page on
// the label as the app draws it; first counted as pdftolabel counts a CUPS job's pages. Only crashes, leaks, hangs and undefined behaviour
// count; poppler and qpdf refusing the bytes is a fine answer.

#include <poppler/cpp/poppler-document.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "labelfit/labelfit.h"
#include "printer-app/pdf_pages.h"

namespace {

void Quiet(const std::string &, void *) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  poppler::set_debug_error_function(Quiet, nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > INT_MAX) return 0;
  // A 4 x 6 in or a 4 x 2 in label, drawn small (72 dpi, the label finding's pictures of
  // scans and shrunk pages at 36 dpi) to keep each run quick.
  const label_size_t label{288, size % 2 ? 144.0 : 432.0, 288, 36};
  std::string pdf(reinterpret_cast<const char *>(data), size);
  static_cast<void>(count_pages(pdf));
  try {
    fit_result_t fit = fit_labels(pdf, label);
    if (fit.rewritten) pdf = std::move(fit.pdf);
  } catch (const std::exception &) {
    return 0;  // the app refuses the document
  }
  std::unique_ptr<poppler::document> document{
      poppler::document::load_from_raw_data(pdf.data(), static_cast<int>(pdf.size()))};
  if (!document || document->is_locked()) return 0;
  for (int number = 0; number < document->pages() && number < 4; ++number) {
    std::unique_ptr<poppler::page> page{document->create_page(number)};
    if (page) DrawPdfPage(*page, 288, 432, 72);
  }
  return 0;
}
