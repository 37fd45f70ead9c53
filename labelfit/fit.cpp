// A whole document: find the labels of every page, and write the new PDF when some page
// has any. Whatever fails leaves the document as it was.

#include <poppler-document.h>

#include <climits>
#include <exception>
#include <memory>

#include "labelfit/labelfit.h"

fit_result_t fit_labels(std::span<const char> pdf, label_size_t label) {
  fit_result_t result;
  try {
    if (pdf.size() > size_t(INT_MAX)) {
      result.notes.push_back("document larger than 2 GB: left as it is");
      return result;
    }
    // poppler reads the caller's bytes in place; they outlive the document.
    std::unique_ptr<poppler::document> document{
        poppler::document::load_from_raw_data(pdf.data(), int(pdf.size()))};
    if (!document) {
      result.notes.push_back("not a PDF that can be read: left as it is");
      return result;
    }
    if (document->is_locked()) {
      result.notes.push_back("the PDF needs a password: left as it is");
      return result;
    }
    std::vector<page_labels_t> pages(size_t(document->pages()));
    bool any = false;
    for (size_t i = 0; i < pages.size(); ++i) {
      std::unique_ptr<poppler::page> page{document->create_page(int(i))};
      pages[i] = page ? find_labels(*page, label)
                      : page_labels_t{0, {}, "could not be read: left as it is"};
      result.notes.push_back("page " + std::to_string(i + 1) + ": " + pages[i].note);
      any = any || !pages[i].labels.empty();
    }
    if (!any) return result;
    result.pdf = write_labels(pdf, pages);
    result.rewritten = true;
  } catch (const std::exception &e) {
    result.pdf.clear();
    result.rewritten = false;
    result.notes.push_back(std::string("could not be rewritten (") + e.what() +
                           "): left as it is");
  }
  return result;
}
