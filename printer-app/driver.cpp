#include "printer-app/driver.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/label_writer.h"
#include "cupsutil/app_handles.h"
#include "cupsutil/cups_handles.h"
#include "printer-app/job_settings.h"
#include "printer-app/label_settings.h"
#include "printer-app/media_settings.h"
#include "printer-app/media_setup.h"
#include "printer-app/printer_status.h"
#include "printer-app/raster_page.h"
#include "printer-app/test_label.h"

std::array<pappl_pr_driver_t, 2> g_drivers = {{
    {"vantel_203dpi", "Vantel Label Printer 203dpi", "MFG:Vantel;MDL:Label Printer 203dpi;", nullptr},
    {"vantel_300dpi", "Vantel Label Printer 300dpi", "MFG:Vantel;MDL:Label Printer 300dpi;", nullptr},
}};

namespace {

// The 4 x 6 inch label loaded when a printer is added.
constexpr const char *kReadyStockSize = "w288h432";

// Media entries: the stock sizes, then the custom range.
struct media_names_t {
  std::array<std::string, g_page_list.size()> stock;
  std::string customMin, customMax;
};

const media_names_t &MediaNames() {
  static const media_names_t names = [] {
    media_names_t made;
    for (size_t i = 0; i < g_page_list.size(); ++i) made.stock[i] = StockMediaName(g_page_list[i]);
    char name[128];
    const auto custom = [&](const char *which, points_t points) {
      pwgFormatSizeName(name, sizeof name, "custom", which, PointsToHundredths(points.width),
                        PointsToHundredths(points.height), nullptr);
      return std::string(name);
    };
    made.customMin = custom("min", kCustomMinPoints);
    made.customMax = custom("max", kCustomMaxPoints);
    return made;
  }();
  return names;
}

pappl_media_col_t ReadyMedia() {
  pappl_media_col_t media{};
  for (size_t i = 0; i < g_page_list.size(); ++i) {
    if (strcmp(g_page_list[i].name, kReadyStockSize) != 0) continue;
    const points_t points = StockPoints(g_page_list[i]);
    snprintf(media.size_name, sizeof media.size_name, "%s", MediaNames().stock[i].c_str());
    media.size_width = PointsToHundredths(points.width);
    media.size_length = PointsToHundredths(points.height);
  }
  snprintf(media.source, sizeof media.source, "main-roll");
  snprintf(media.type, sizeof media.type, "labels");
  media.tracking = PAPPL_MEDIA_TRACKING_GAP;
  return media;
}

// What one job keeps between the callbacks.
struct job_data_t {
  label_doc_t doc{};
  // The page header PAPPL makes for the job's media, for a raster job (IsHeaderOfJob).
  std::optional<cups_page_header2_t> jobHeader;
  label_page_t page;
  unsigned copies = 1;
  int printed = 0;  // pages that ended with PRINT
  bool writeFailed = false;
  std::vector<uint8_t> label;  // the bytes of the label going out, sent again if need be
};

job_data_t *JobData(pappl_job_t *job) { return static_cast<job_data_t *>(papplJobGetData(job)); }

// Writes the next bytes of the label going out. When a network printer's connection is
// lost, the whole label goes out again once the printer is back.
bool Write(pappl_job_t *job, pappl_device_t *device, job_data_t &data, std::span<const uint8_t> bytes) {
  if (data.writeFailed || bytes.empty()) return !data.writeFailed;
  data.label.insert(data.label.end(), bytes.begin(), bytes.end());
  std::span<const uint8_t> pending = bytes;
  while (papplDeviceWrite(device, pending.data(), pending.size()) != static_cast<ssize_t>(pending.size())) {
    if (!ReconnectPrinter(job, device, static_cast<unsigned>(data.printed) + 1)) {
      data.writeFailed = true;
      return false;
    }
    pending = data.label;
  }
  return true;
}

bool IsRaster(const char *format) {
  return format && (strcmp(format, "image/pwg-raster") == 0 || strcmp(format, "image/urf") == 0);
}

// Raster documents stream straight from the client, and PAPPL hands over a page of the
// client's only when it is 8 bits a pixel: for any other page (1-bit black) it passes
// its own header for the job's media with the client's rows, which would print as noise.
// Such a page shows as a header equal to the one PAPPL makes for the job.
bool IsHeaderOfJob(const job_data_t &data, const cups_page_header2_t &header) {
  return data.jobHeader && memcmp(&*data.jobHeader, &header, sizeof header) == 0;
}

bool PrintRawFile(pappl_job_t *job, pappl_pr_options_t *, pappl_device_t *device) {
  const FileDescriptor file{open(papplJobGetFilename(job), O_RDONLY | O_CLOEXEC)};
  if (file.get() < 0) {
    RefuseJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Unable to open the print file");
    return false;
  }
  char buffer[65536];
  ssize_t bytes;
  bool written = true;
  while (written && (bytes = read(file.get(), buffer, sizeof buffer)) > 0)
    written = papplDeviceWrite(device, buffer, static_cast<size_t>(bytes)) == bytes;
  return written;
}

// PAPPL's identify callback: the printer beeps.
void IdentifyPrinter(pappl_printer_t *printer, pappl_identify_actions_t, const char *) {
  // The device is busy while a job prints: the beep is then left out.
  pappl_device_t *device = papplPrinterOpenDevice(printer);
  if (!device) {
    papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN, "Unable to identify the printer: it is busy");
    return;
  }
  papplDeviceWrite(device, kIdentifyCommand, sizeof kIdentifyCommand - 1);
  papplDeviceFlush(device);
  papplPrinterCloseDevice(printer);
}

// Starts the job's label with `doc`, its printer ready.
bool BeginJob(pappl_job_t *job, const label_doc_t &doc) try {
  auto data = std::make_unique<job_data_t>();
  data->doc = doc;
  if (IsRaster(papplJobGetFormat(job))) {
    const PrintOptionsPtr own{papplJobCreatePrintOptions(job, static_cast<unsigned>(papplJobGetImpressions(job)), false)};
    if (own) data->jobHeader = own->header;
  }
  papplLogJob(job, PAPPL_LOGLEVEL_DEBUG,
              "Media tracking %d, gap %d,%d, label mode %d every %d, tear offset %d, shift %d, "
              "direction %d",
              doc.mediaTracking, doc.gapHeight, doc.gapOffset, doc.labelMode, doc.cutInterval,
              doc.tearOffset, doc.shift, doc.direction);
  papplLogJob(job, PAPPL_LOGLEVEL_INFO,
              "Label %dx%d mm, speed %d, darkness %d, offset %d,%d dots, print mode %d",
              doc.labelWidth, doc.labelHeight, doc.speed, doc.darkness, doc.horizontal, doc.vertical,
              doc.mode);
  papplJobSetData(job, data.release());
  return true;
} catch (const std::bad_alloc &) {
  RefuseJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Unable to allocate memory");
  return false;
}

}  // namespace

void RefuseJob(pappl_job_t *job, pappl_jreason_t reason, const char *message) {
  papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", message);
  papplJobSetMessage(job, "%s", message);
  papplJobSetReasons(job, reason, PAPPL_JREASON_NONE);
}


// A printer with its head open or its roll empty gets no label until it is ready.
bool StartLabelJob(pappl_job_t *job, pappl_device_t *device, const label_doc_t &doc) {
  return WaitForPrinter(job, device, 0) && BeginJob(job, doc);
}

// The job's settings are read once the printer is ready: changed meanwhile, they apply.
bool StartJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device) {
  return WaitForPrinter(job, device, 0) && BeginJob(job, ReadJobSettings(job, *options).doc);
}

bool StartPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device,
               unsigned page) try {
  job_data_t *data = JobData(job);
  const cups_page_header2_t &header = options->header;
  std::string message;
  // PAPPL counts pages from 0; a user counts them from 1.
  const unsigned number = page + 1;
  page_refusal_t refusal = CheckRasterPage(header, options->printer_resolution[0], number, message);
  if (refusal == page_refusal_t::none && IsHeaderOfJob(*data, header)) {
    refusal = page_refusal_t::format;
    message = "Page " + std::to_string(number) + " is not 8-bit gray raster, which is all the printer takes";
  }
  if (refusal != page_refusal_t::none) {
    RefuseJob(job, refusal == page_refusal_t::format ? PAPPL_JREASON_DOCUMENT_FORMAT_ERROR
                                                     : PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR,
              message.c_str());
    return false;
  }
  // PAPPL's own PNG and JPEG filter leaves NumCopies 0 and sends the page once for each
  // copy; PRINT 1,0 would print none of them.
  data->copies = std::max(header.NumCopies, 1u);
  data->label.clear();
  return Write(job, device, *data, BeginRasterPage(data->page, data->doc, header));
} catch (const std::bad_alloc &) {
  RefuseJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Unable to allocate memory");
  return false;
}

bool WriteLine(pappl_job_t *job, pappl_pr_options_t *, pappl_device_t *device, unsigned,
               const unsigned char *line) {
  job_data_t *data = JobData(job);
  return Write(job, device, *data, RasterPageLine(data->page, line));
}

bool EndPage(pappl_job_t *job, pappl_pr_options_t *, pappl_device_t *device, unsigned page) {
  job_data_t *data = JobData(job);
  label_page_t &label = data->page;
  const unsigned given = label.nextRow;
  const page_end_t end = EndRasterPage(label, papplJobIsCanceled(job), static_cast<int>(data->copies),
                                       [&](std::span<const uint8_t> bytes) { Write(job, device, *data, bytes); });
  if (end == page_end_t::canceled) return !data->writeFailed;
  if (end == page_end_t::incomplete) {
    char message[256];
    snprintf(message, sizeof message, "Page %u of the raster ends after %u of its %u lines",
             page, given, label.height);
    RefuseJob(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, message);
    return false;
  }
  if (data->writeFailed) {
    // A job cancelled while it waited for its printer keeps its own reason.
    if (!papplJobIsCanceled(job)) RefuseJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Unable to write print data");
    return false;
  }
  ++data->printed;
  papplDeviceFlush(device);
  // The printer holds a label that met a fault and prints it once the fault clears: the
  // next label goes out only then, and no label twice. A label whose connection was lost
  // goes out again.
  return WaitForPrinter(job, device, page, data->label);
}

bool EndJob(pappl_job_t *job, pappl_pr_options_t *, pappl_device_t *device) {
  std::unique_ptr<job_data_t> data{JobData(job)};
  papplJobSetData(job, nullptr);
  papplDeviceFlush(device);
  // PAPPL counts a raster page as printed when it begins: a page refused or cut short
  // printed nothing.
  if (data && papplJobGetImpressionsCompleted(job) > data->printed)
    papplJobSetImpressionsCompleted(job, data->printed - papplJobGetImpressionsCompleted(job));
  return data && !data->writeFailed;
}

// PAPPL's test page: the printer's test label written into the spool folder, which PAPPL
// prints as an image job and removes once the job has ended.
const char *TestPageCallback(pappl_printer_t *printer, char *buffer, size_t bufsize) try {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  test_label_t label;
  label.name = papplPrinterGetName(printer);
  label.dpi = data.x_default;
  label.darkness = DarknessLevel(data.darkness_configured, 0);
  label.speed = SpeedSetting(data.speed_default);
  label.width = data.media_default.size_width;
  label.length = data.media_default.size_length;
  static constexpr const char *kTracking[] = {"GAP", "BLACK MARK", "CONTINUOUS"};
  const int16_t tracking = TrackingSetting(data.media_default.tracking);
  label.tracking = tracking >= 0 && tracking <= 2 ? kTracking[tracking] : kTracking[0];
  const std::string png = TestLabelPng(label);
  FileDescriptor file{png.empty() ? -1 : papplPrinterOpenFile(printer, buffer, bufsize, nullptr, "testpage", "png", "w")};
  if (file.get() < 0) {
    papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "Unable to make the test label");
    return nullptr;
  }
  const bool written = write(file.get(), png.data(), png.size()) == static_cast<ssize_t>(png.size());
  if (!file.Close() || !written) {
    unlink(buffer);
    papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "Unable to write the test label");
    return nullptr;
  }
  return buffer;
} catch (const std::exception &) {
  papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "Unable to make the test label");
  return nullptr;
}

bool DriverCallback(pappl_system_t *, const char *driver_name, const char *, const char *,
                    pappl_pr_driver_data_t *data, ipp_t **attrs, void *) try {
  const int dpi = strcmp(driver_name, g_drivers[0].name) == 0   ? 203
                  : strcmp(driver_name, g_drivers[1].name) == 0 ? 300
                                                                : 0;
  if (!dpi) return false;

  data->printfile_cb = PrintRawFile;
  data->rstartjob_cb = StartJob;
  data->rstartpage_cb = StartPage;
  data->rwriteline_cb = WriteLine;
  data->rendpage_cb = EndPage;
  data->rendjob_cb = EndJob;
  data->format = kRawFormat;
  data->identify_cb = IdentifyPrinter;
  data->testpage_cb = TestPageCallback;
  data->identify_supported = PAPPL_IDENTIFY_ACTIONS_SOUND;
  data->identify_default = PAPPL_IDENTIFY_ACTIONS_SOUND;
  snprintf(data->make_and_model, sizeof data->make_and_model, "Vantel Label Printer %ddpi", dpi);
  data->ppm = 30;
  data->kind = PAPPL_KIND_LABEL | PAPPL_KIND_ROLL;

  // Gray lines always: the conversion rules are the printer's own, never PAPPL's dither.
  data->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
  data->force_raster_type = PAPPL_PWG_RASTER_TYPE_NONE;
  data->color_supported = PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_AUTO_MONOCHROME |
                          PAPPL_COLOR_MODE_MONOCHROME | PAPPL_COLOR_MODE_BI_LEVEL;
  data->color_default = PAPPL_COLOR_MODE_MONOCHROME;
  data->content_default = PAPPL_CONTENT_AUTO;
  data->quality_default = IPP_QUALITY_NORMAL;
  data->scaling_default = PAPPL_SCALING_AUTO;
  data->duplex = PAPPL_DUPLEX_NONE;
  data->sides_supported = PAPPL_SIDES_ONE_SIDED;
  data->sides_default = PAPPL_SIDES_ONE_SIDED;
  data->orient_default = IPP_ORIENT_PORTRAIT;
  data->num_resolution = 1;
  data->x_resolution[0] = data->y_resolution[0] = dpi;
  data->x_default = data->y_default = dpi;

  // A margin of a hundredth of a millimetre: with none at all PAPPL crops oversized
  // images (print-scaling=auto acts as fill) instead of fitting them.
  data->left_right = data->bottom_top = 1;
  const media_names_t &names = MediaNames();
  data->num_media = 0;
  for (const std::string &name : names.stock) data->media[data->num_media++] = name.c_str();
  data->media[data->num_media++] = names.customMin.c_str();
  data->media[data->num_media++] = names.customMax.c_str();
  data->num_source = 1;
  data->source[0] = "main-roll";
  data->num_type = 1;
  data->type[0] = "labels";
  data->media_default = ReadyMedia();
  data->media_default.left_margin = data->media_default.right_margin = data->left_right;
  data->media_default.top_margin = data->media_default.bottom_margin = data->bottom_top;
  data->media_ready[0] = data->media_default;
  data->left_offset_supported[1] = kMaxOffset;
  data->top_offset_supported[1] = kMaxOffset;

  data->speed_supported[0] = kMinSpeed * kSpeedStep;
  data->speed_supported[1] = kMaxSpeed * kSpeedStep;
  data->speed_default = kDefaultSpeed * kSpeedStep;
  data->darkness_supported = kDarknessLevels;
  data->darkness_configured = DarknessPercent(kDefaultDarkness);

  // The vendor options, each a keyword with its first value the default.
  std::array<const char *, kPrintModes.size()> modes;
  for (size_t i = 0; i < kPrintModes.size(); ++i) modes[i] = kPrintModes[i].keyword;
  const std::array<const char *, 2> fits = {kFindLabels, kWholePage};
  *attrs = ippNew();
  const auto add = [&](const char *option, std::span<const char *const> keywords) {
    data->vendor[data->num_vendor++] = option;
    const std::string name = option;
    ippAddStrings(*attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), (name + "-supported").c_str(),
                  static_cast<int>(keywords.size()), nullptr, keywords.data());
    ippAddString(*attrs, IPP_TAG_PRINTER, IPP_CONST_TAG(IPP_TAG_KEYWORD), (name + "-default").c_str(),
                 nullptr, keywords[0]);
  };
  data->num_vendor = 0;
  add(kPrintModeOption, modes);
  add(kLabelFitOption, fits);
  AddMediaSetup(data, *attrs);
  return true;
} catch (const std::exception &) {
  return false;
}

const char *AutoAddCallback(const char *, const char *, const char *device_id, void *) {
  if (!device_id) return nullptr;
  cups_option_t *parsed = nullptr;
  const int count = papplDeviceParseID(device_id, &parsed);
  const OptionsPtr pairs{parsed, OptionsFree{count}};
  const char *make = cupsGetOption("MANUFACTURER", count, parsed);
  if (!make) make = cupsGetOption("MFG", count, parsed);
  const char *model = cupsGetOption("MODEL", count, parsed);
  if (!model) model = cupsGetOption("MDL", count, parsed);
  if (!make || strcasecmp(make, "Vantel") != 0) return nullptr;
  return model && strstr(model, "300") ? g_drivers[1].name : g_drivers[0].name;
}
