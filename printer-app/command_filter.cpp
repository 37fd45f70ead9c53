#include "printer-app/command_filter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/maintenance.h"
#include "cupsutil/app_handles.h"
#include "printer-app/driver.h"
#include "printer-app/media_settings.h"

namespace {

constexpr const char *kCommandFormat = "application/vnd.cups-command";

// A command file names a few commands; anything much larger is not one.
constexpr size_t kMaxCommandFile = 65536;

// Fails `job` with `message` as its job-state-message.
bool FailCommandJob(pappl_job_t *job, const char *message) {
  RefuseJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, message);
  return false;
}

bool FilterCommands(pappl_job_t *job, pappl_device_t *device, void *) try {
  std::string text;
  {
    const FileDescriptor file{open(papplJobGetFilename(job), O_RDONLY | O_CLOEXEC)};
    if (file.get() < 0) return FailCommandJob(job, "Unable to open the command file");
    char buffer[4096];
    ssize_t bytes;
    while (text.size() <= kMaxCommandFile && (bytes = read(file.get(), buffer, sizeof buffer)) > 0)
      text.append(buffer, static_cast<size_t>(bytes));
  }
  if (text.size() > kMaxCommandFile) return FailCommandJob(job, "The command file is too large");

  const command_file_t file = ParseCommandFile(text);
  if (!file.valid) return FailCommandJob(job, "Not a CUPS command file (no #CUPS-COMMAND line)");
  if (!file.unknown.empty()) {
    const std::string message = "Unknown printer command \"" + file.unknown[0] + "\"";
    return FailCommandJob(job, message.c_str());
  }
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
  const int16_t tracking = TrackingSetting(data.media_ready[0].tracking);
  for (maintenance_t action : file.actions) {
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "%s", MaintenanceMessage(action));
    const std::string line = MaintenanceLine(action, tracking);
    if (papplDeviceWrite(device, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
      RefuseJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Unable to write print data");
      return false;
    }
  }
  papplDeviceFlush(device);
  return true;
} catch (const std::exception &) {
  RefuseJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Unable to allocate memory");
  return false;
}

}  // namespace

void AddCommandFilter(pappl_system_t *system) {
  papplSystemAddMIMEFilter(system, kCommandFormat, "image/pwg-raster", FilterCommands, nullptr);
}

bool SubmitMaintenance(pappl_printer_t *printer, const char *command, const char *username) {
  char path[1024];
  snprintf(path, sizeof path, "%s/vantel-command-XXXXXX", papplGetTempDir());
  FileDescriptor file{mkstemp(path)};
  if (file.get() < 0) return false;
  const std::string text = std::string("#CUPS-COMMAND\n") + command + "\n";
  const bool written = write(file.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
  // PAPPL takes the file over and removes it with the job.
  if (!file.Close() || !written ||
      !papplJobCreateWithFile(printer, username, kCommandFormat, command, 0, nullptr, path)) {
    unlink(path);
    return false;
  }
  return true;
}
