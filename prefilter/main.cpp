// pdftolabel: a CUPS pre-filter for PDF jobs to label printers. It finds the labels on
// carrier pages (a 4 x 6 in label in a corner of a Letter page, two to a page) and hands
// on one label-sized page per label; a document that needs nothing, is not a PDF it can
// read or has LabelFit off goes on byte for byte as it came.
//
//   pdftolabel job-id user title copies options [file]

#include <poppler-global.h>

#include <csignal>
#include <cstdio>
#include <new>
#include <span>
#include <string>

#include "labelfit/labelfit.h"
#include "prefilter/job.h"

#ifdef VANTEL_SANITIZE
// Two libraries keep a little memory to the end of the process that no code of theirs
// frees: fontconfig, which poppler asks for the fonts a document does not embed, and
// libcups, an option array of the PPD cache that cupsMarkOptions builds. The scheduler
// hands a filter no ASAN_OPTIONS or LSAN_OPTIONS, so the sanitizer build is told here,
// with whole stacks so that the suppressions can name the functions.
extern "C" const char *__asan_default_options() { return "fast_unwind_on_malloc=0"; }
extern "C" const char *__lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:_ppdCacheCreateWithPPD\n";
}
#endif

namespace {

// poppler's complaints about a document, as debug lines of the job's log.
void log_poppler(const std::string &message, void *) {
  try {
    std::string line = message;
    for (char &c : line)
      if (c == '\n' || c == '\r') c = ' ';
    fprintf(stderr, "DEBUG: pdftolabel: poppler: %s\n", line.c_str());
  } catch (...) {
  }
}

bool write_all(std::span<const char> bytes) {
  return fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

enum class read_t { whole, copied, failed };

// Reads all of `in` into `bytes`. Without the memory to hold it, what was read and the
// rest are copied to standard output as they are, so the job still goes on (`copied`).
read_t read_input(FILE *in, std::string &bytes) {
  static char chunk[1 << 16];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, in)) > 0) {
    try {
      bytes.append(chunk, n);
    } catch (const std::bad_alloc &) {
      fputs("DEBUG: pdftolabel: no memory to hold the document: passed on as it is\n", stderr);
      bool ok = write_all(bytes) && write_all({chunk, n});
      while (ok && (n = fread(chunk, 1, sizeof chunk, in)) > 0) ok = write_all({chunk, n});
      return ok && !ferror(in) ? read_t::copied : read_t::failed;
    }
  }
  return ferror(in) ? read_t::failed : read_t::whole;
}

}  // namespace

int main(int argc, char *argv[]) {
  // A reader that goes away shows up as a failed write, not as a signal mid-document.
  signal(SIGPIPE, SIG_IGN);
  if (argc != 6 && argc != 7) {
    fputs("ERROR: pdftolabel job-id user title copies options [file]\n", stderr);
    return 1;
  }
  poppler::set_debug_error_function(log_poppler, nullptr);

  FILE *in = argc == 7 ? fopen(argv[6], "rb") : stdin;
  if (!in) {
    fputs("ERROR: Unable to open print file\n", stderr);
    return 1;
  }
  std::string input;
  const read_t read = read_input(in, input);
  if (in != stdin) fclose(in);
  if (read == read_t::copied) return fflush(stdout) == 0 ? 0 : 1;
  if (read == read_t::failed) {
    fputs("ERROR: Unable to read print file\n", stderr);
    return 1;
  }

  // A PDF read without a page would print nothing while the job reported it done: the
  // filters after this one read it the same way and pass on no page.
  if (count_pages(input) == 0) {
    fputs("ERROR: The document has no page that can be printed\n", stderr);
    return 1;
  }

  const job_fit_t job = read_job(getenv("PPD"), argv[5]);
  fit_result_t result;
  if (!job.find) {
    fputs("DEBUG: pdftolabel: LabelFit is off: document passed on as it is\n", stderr);
  } else if (!job.label) {
    fputs("DEBUG: pdftolabel: no label size in the PPD: document passed on as it is\n", stderr);
  } else {
    result = fit_labels(input, *job.label);
    for (const std::string &note : result.notes)
      fprintf(stderr, "DEBUG: pdftolabel: %s\n", note.c_str());
  }

  const std::string &output = result.rewritten ? result.pdf : input;
  if (!write_all(output) || fflush(stdout) != 0) {
    fputs("ERROR: Unable to write print data\n", stderr);
    return 1;
  }
  return 0;
}
