#include "printer-app/pdf_filter.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "cupsutil/app_handles.h"
#include "labelfit/labelfit.h"
#include "printer-app/driver.h"
#include "printer-app/job_settings.h"
#include "printer-app/label_settings.h"
#include "printer-app/pdf_pages.h"

namespace {

bool PrintPages(pappl_job_t *job, pappl_device_t *device, poppler::document &document,
                pappl_pr_options_t *options) {
  const int dpi = options->printer_resolution[0];
  const unsigned last = std::min<unsigned>(options->last_page, static_cast<unsigned>(document.pages()));
  // One label block a page, printed `copies` times by the printer.
  options->header.NumCopies = static_cast<unsigned>(std::max(options->copies, 1));
  for (unsigned number = options->first_page; number <= last && !papplJobIsCanceled(job); ++number) {
    std::unique_ptr<poppler::page> page{document.create_page(static_cast<int>(number) - 1)};
    if (!page) {
      RefuseJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, "A page of the PDF file can't be read");
      return false;
    }
    const std::vector<uint8_t> gray = DrawPdfPage(*page, options->header.cupsBytesPerLine, options->header.cupsHeight, dpi);
    if (!StartPage(job, options, device, number)) return false;
    const unsigned width = options->header.cupsBytesPerLine;
    for (unsigned y = 0; y < options->header.cupsHeight; ++y)
      WriteLine(job, options, device, y, gray.data() + size_t{y} * width);
    if (!EndPage(job, options, device, number)) return false;
    papplJobSetImpressionsCompleted(job, 1);
  }
  return true;
}

// Carrier pages (a shipping label in a corner of a Letter or A4 sheet, two to a page)
// become one label-sized page per label, as the CUPS driver's pre-filter makes them,
// unless the job or the printer asks for whole pages. Gives the PDF to print, and says in
// the job's log what became of each page.
std::string FindLabels(pappl_job_t *job, const pappl_pr_options_t &options, bool findLabels, std::string pdf) {
  if (!findLabels) return pdf;
  const label_size_t label{options.media.size_width * 72.0 / 2540.0,
                           options.media.size_length * 72.0 / 2540.0, kCustomMaxPoints.width,
                           double(options.printer_resolution[0])};
  fit_result_t fit = fit_labels(pdf, label);
  for (const std::string &note : fit.notes)
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Label finding: %s", note.c_str());
  if (fit.rewritten) return std::move(fit.pdf);
  return pdf;
}

bool FilterPdf(pappl_job_t *job, pappl_device_t *device, void *) try {
  std::ifstream file(papplJobGetFilename(job), std::ios::binary);
  std::ostringstream bytes;
  if (!(bytes << file.rdbuf())) {
    RefuseJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, "The document is not a readable PDF file");
    return false;
  }
  const PrintOptionsPtr options{papplJobCreatePrintOptions(job, 0, false)};
  if (!options) return false;
  const job_settings_t settings = ReadJobSettings(job, *options);
  // poppler reads the bytes in place: they outlive the document.
  const std::string pdf = FindLabels(job, *options, settings.findLabels, std::move(bytes).str());
  if (pdf.size() > INT_MAX) {
    RefuseJob(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, "The PDF file is too large to print");
    return false;
  }
  std::unique_ptr<poppler::document> document{
      poppler::document::load_from_raw_data(pdf.data(), static_cast<int>(pdf.size()))};
  if (!document || document->pages() < 1) {
    RefuseJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, "The document is not a readable PDF file");
    return false;
  }
  if (document->is_locked()) {
    RefuseJob(job, PAPPL_JREASON_DOCUMENT_PASSWORD_ERROR, "The PDF file needs a password");
    return false;
  }
  papplJobSetImpressions(job, document->pages());
  options->num_pages = static_cast<unsigned>(document->pages());
  if (!StartLabelJob(job, device, settings.doc)) return false;
  const bool printed = PrintPages(job, device, *document, options.get());
  return EndJob(job, options.get(), device) && printed;
} catch (const std::bad_alloc &) {
  RefuseJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Unable to allocate memory");
  return false;
} catch (const std::exception &) {
  RefuseJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, "The PDF file can't be printed");
  return false;
}

}  // namespace

void AddPdfFilter(pappl_system_t *system) {
  papplSystemAddMIMEFilter(system, "application/pdf", "image/pwg-raster", FilterPdf, nullptr);
}
