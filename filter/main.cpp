// rastertovantel: the last filter of a CUPS job for label printers. Reads CUPS raster
// pages of 8-bit gray and writes one label command job per page to standard output.

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "core/label_doc.h"
#include "cupsutil/cups_handles.h"
#include "filter/log.h"
#include "filter/options.h"
#include "filter/print_bitmap.h"
#include "filter/printer_limits.h"
#include "filter/printer_status.h"

namespace {

// CUPS cancels a job with SIGTERM. Dying at once could leave the printer in the middle of
// a bitmap, reading the next job's commands as pixels; the page loop ends the page
// cleanly instead. Interrupted reads and writes restart, so the flag is only looked at
// between rows.
void CancelJob(int) { g_job_cancelled = 1; }

void CatchCancel() {
  struct sigaction action {};
  action.sa_handler = CancelJob;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
}

// Refuses a job whose settings the printer cannot take, with a message for each. The
// raster is read to its end first, so that the filters before this one finish as usual
// and the job's reason stays this one's.
int RefuseJob(const std::vector<std::string> &refused, cups_file_t *input) {
  char discard[65536];
  if (input) {
    while (cupsFileRead(input, discard, sizeof discard) > 0) {}
  }
  for (const std::string &message : refused) {
    WriteLog("Refused: %s", message.c_str());
    fprintf(stderr, "ERROR: %s\n", message.c_str());
  }
  return 1;
}

}  // namespace

int main(int argc, char *argv[]) {
  // A printer connection that goes away must show up as a failed write, ending the job
  // with an error, rather than as a signal that kills the filter mid-page.
  signal(SIGPIPE, SIG_IGN);
  CatchCancel();
  // Pages go out a few rows at a time: a buffer the size of a strip's worth of them keeps
  // the writes to the printer connection few.
  static char output[65536];
  setvbuf(stdout, output, _IOFBF, sizeof output);

  InitLog();
  WriteLog("Enter main");
  for (int i = 0; i < argc; ++i) WriteLog("argv[%d]:%s", i, argv[i]);
  WriteLog("Begin main");

  if (argc != 6 && argc != 7) {
    WriteLog("Input param is not enough");
    fputs("ERROR: rastertovantel job-id user title copies options [file]\n", stderr);
    return 1;
  }

  CupsFilePtr input{argc == 6 ? cupsFileStdin() : cupsFileOpen(argv[6], "r")};

  label_doc_t doc{};
  limited_settings_t sources;
  bool follow = false;
  std::string uuid;
  {
    cups_option_t *parsed = nullptr;
    int num_options = cupsParseOptions(argv[5], 0, &parsed);
    OptionsPtr options{parsed, OptionsFree{num_options}};
    set_pstops_options(doc, num_options, options.get(), &sources);
    follow = wants_status_query(num_options, options.get());
    if (const char *id = cupsGetOption("job-uuid", num_options, options.get())) uuid = id;
  }

  int status = 0;
  const std::vector<std::string> refused =
      unprintable_settings(doc, sources, read_printer_limits());
  printer_follow_t following;
  if (!refused.empty()) {
    status = RefuseJob(refused, input.get());
  } else if (input && follow && !start_following(following, uuid.c_str())) {
    status = RefuseJob({}, input.get());
  } else if (input) {
    WriteLog("cups_file is not null");
    // With the status query on, each label is followed until the printer has it on paper.
    status = print_bitmap(doc, input.get(), follow ? &following : nullptr);
    input.reset();
    if (follow)
      status = std::max(status, end_following(following, status == 0 && !g_job_cancelled));
  } else {
    WriteLog("Unable to open raster file %s", argc == 7 ? argv[6] : "(stdin)");
    fputs("ERROR: Unable to open raster file\n", stderr);
    status = 1;
  }

  WriteLog("Exit main");
  CloseLog();
  return status;
}
