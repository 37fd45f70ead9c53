#include "printer-app/media_setup.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/maintenance.h"

#include "printer-app/driver.h"
#include "printer-app/media_settings.h"

namespace {

// A whole-number vendor setting for a job: the job's own value, else the printer's
// default, else the record's built-in value; held to the setting's range.
int16_t IntVendorOption(pappl_job_t *job, const pappl_pr_options_t &options,
                        const vendor_range_t &range) {
  if (const char *value = cupsGetOption(range.name, options.num_vendor, options.vendor)) {
    char *end = nullptr;
    const long number = strtol(value, &end, 10);
    if (end != value) return VendorSetting(range, number);
  }
  ipp_t *attrs = papplPrinterGetDriverAttributes(papplJobGetPrinter(job));
  const std::string key = std::string(range.name) + "-default";
  ipp_attribute_t *attr = ippFindAttribute(attrs, key.c_str(), IPP_TAG_INTEGER);
  const int16_t value = attr ? VendorSetting(range, ippGetInteger(attr, 0)) : label_doc_t{}.*range.field;
  ippDelete(attrs);
  return value;
}

constexpr const char *kCommandFormat = "application/vnd.cups-command";

// A command file names a few commands; anything much larger is not one.
constexpr size_t kMaxCommandFile = 65536;

// Fails `job` with `message` as its job-state-message.
bool FailCommandJob(pappl_job_t *job, const char *message) {
  RefuseJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, message);
  return false;
}

bool FilterCommands(pappl_job_t *job, pappl_device_t *device, void *) try {
  const int fd = open(papplJobGetFilename(job), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FailCommandJob(job, "Unable to open the command file");
  std::string text;
  char buffer[4096];
  ssize_t bytes;
  while (text.size() <= kMaxCommandFile && (bytes = read(fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(bytes));
  close(fd);
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
  const int fd = mkstemp(path);
  if (fd < 0) return false;
  const std::string text = std::string("#CUPS-COMMAND\n") + command + "\n";
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  // PAPPL takes the file over and removes it with the job.
  if (!written || !papplJobCreateWithFile(printer, username, kCommandFormat, command, 0, nullptr, path)) {
    unlink(path);
    return false;
  }
  return true;
}

void AddMediaSetup(pappl_pr_driver_data_t *data, ipp_t *attrs) {
  data->tracking_supported =
      PAPPL_MEDIA_TRACKING_GAP | PAPPL_MEDIA_TRACKING_MARK | PAPPL_MEDIA_TRACKING_CONTINUOUS;
  data->mode_supported = PAPPL_LABEL_MODE_TEAR_OFF | PAPPL_LABEL_MODE_PEEL_OFF |
                         PAPPL_LABEL_MODE_CUTTER | PAPPL_LABEL_MODE_CUTTER_DELAYED;
  data->mode_configured = PAPPL_LABEL_MODE_TEAR_OFF;
  data->tear_offset_supported[0] = -kMaxTearOffset;
  data->tear_offset_supported[1] = kMaxTearOffset;
  data->tear_offset_configured = 0;

  const label_doc_t defaults{};
  for (const vendor_range_t &range : kVendorRanges) {
    data->vendor[data->num_vendor++] = range.name;
    const std::string name = range.name;
    ippAddRange(attrs, IPP_TAG_PRINTER, (name + "-supported").c_str(), range.low, range.high);
    ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, (name + "-default").c_str(),
                  defaults.*range.field);
  }
  const char *directions[kPrintDirections.size()];
  for (size_t i = 0; i < kPrintDirections.size(); ++i) directions[i] = kPrintDirections[i].keyword;
  data->vendor[data->num_vendor++] = kPrintDirectionOption;
  const std::string name = kPrintDirectionOption;
  ippAddStrings(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), (name + "-supported").c_str(),
                static_cast<int>(kPrintDirections.size()), nullptr, directions);
  ippAddString(attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), (name + "-default").c_str(),
               nullptr, directions[0]);
}

void ApplyMediaSetup(pappl_job_t *job, const pappl_pr_options_t &options, label_doc_t &doc) {
  doc.mediaTracking = TrackingSetting(options.media.tracking);
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(papplJobGetPrinter(job), &data);
  doc.labelMode = LabelModeSetting(data.mode_configured);
  doc.tearOffset = TearOffsetSetting(data.tear_offset_configured);
  for (const vendor_range_t &range : kVendorRanges)
    doc.*range.field = IntVendorOption(job, options, range);
  doc.direction = DirectionForKeyword(VendorOption(job, options, kPrintDirectionOption).c_str());
  papplLogJob(job, PAPPL_LOGLEVEL_DEBUG,
              "Media tracking %d, gap %d,%d, label mode %d every %d, tear offset %d, shift %d, "
              "direction %d",
              doc.mediaTracking, doc.gapHeight, doc.gapOffset, doc.labelMode, doc.cutInterval,
              doc.tearOffset, doc.shift, doc.direction);
}
