// commandtovantel: the CUPS filter for command files (application/vnd.cups-command), the
// jobs that the queue's Maintenance menu and "lp -o document-format=application/vnd.cups-
// command" send. Writes the printer's own command for each: calibrating the media sensor
// for the queue's media tracking, the self-test page, feeding one label.

#include <csignal>
#include <cstdio>
#include <string>

#include "core/label_doc.h"
#include "core/maintenance.h"
#include "cupsutil/cups_handles.h"
#include "filter/options.h"

namespace {

// A command file names a few commands; anything much larger is not one.
constexpr size_t kMaxCommandFile = 65536;

// The whole input, or false when it is larger than a command file can be.
bool ReadCommandFile(cups_file_t *input, std::string &text) {
  char buffer[4096];
  ssize_t bytes;
  while ((bytes = cupsFileRead(input, buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<size_t>(bytes));
    if (text.size() > kMaxCommandFile) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char *argv[]) {
  signal(SIGPIPE, SIG_IGN);
  if (argc != 6 && argc != 7) {
    fputs("ERROR: commandtovantel job-id user title copies options [file]\n", stderr);
    return 1;
  }
  CupsFilePtr input{argc == 6 ? cupsFileStdin() : cupsFileOpen(argv[6], "r")};
  if (!input) {
    fputs("ERROR: Unable to open the command file\n", stderr);
    return 1;
  }
  std::string text;
  if (!ReadCommandFile(input.get(), text)) {
    fputs("ERROR: The command file is too large\n", stderr);
    return 1;
  }

  // The queue's media tracking (its PPD default, or the job's own MediaTracking) decides
  // what calibration looks for. The diagnostic log is not opened: it keeps the last
  // print job's lines.
  label_doc_t doc{};
  {
    cups_option_t *parsed = nullptr;
    const int count = cupsParseOptions(argv[5], 0, &parsed);
    OptionsPtr options{parsed, OptionsFree{count}};
    set_pstops_options(doc, count, options.get());
  }

  const command_file_t file = ParseCommandFile(text);
  if (!file.valid) {
    fputs("ERROR: Not a CUPS command file (no #CUPS-COMMAND line)\n", stderr);
    return 1;
  }
  int status = 0;
  for (const std::string &word : file.unknown) {
    fprintf(stderr, "ERROR: Unknown printer command \"%s\"\n", word.c_str());
    status = 1;
  }
  for (maintenance_t action : file.actions) {
    fprintf(stderr, "INFO: %s\n", MaintenanceMessage(action));
    const std::string line = MaintenanceLine(action, doc.mediaTracking);
    if (fwrite(line.data(), 1, line.size(), stdout) != line.size() || fflush(stdout) != 0) {
      fputs("ERROR: Unable to write print data\n", stderr);
      return 1;
    }
  }
  if (file.actions.empty() && file.unknown.empty())
    fputs("INFO: The command file names no command\n", stderr);
  return status;
}
