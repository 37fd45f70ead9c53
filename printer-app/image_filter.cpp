#include "printer-app/image_filter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cupsutil/app_handles.h"
#include "printer-app/driver.h"
#include "printer-app/image_decode.h"
#include "printer-app/job_settings.h"

namespace {

// The job's file, whole, when it is no larger than `limit` bytes.
bool ReadJobFile(pappl_job_t *job, size_t limit, std::vector<uint8_t> &bytes) {
  const FileDescriptor file{open(papplJobGetFilename(job), O_RDONLY | O_CLOEXEC)};
  const int fd = file.get();
  if (fd < 0) return false;
  struct stat info {};
  if (fstat(fd, &info) != 0 || info.st_size < 0 || static_cast<uint64_t>(info.st_size) > limit) return false;
  bytes.resize(static_cast<size_t>(info.st_size));
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

image_limits_t Limits(pappl_job_t *job) {
  int width = 0, height = 0;
  const size_t bytes = papplSystemGetMaxImageSize(papplPrinterGetSystem(papplJobGetPrinter(job)), &width, &height);
  image_limits_t limits;
  if (width > 0) limits.maxWidth = static_cast<uint32_t>(width);
  if (height > 0) limits.maxHeight = static_cast<uint32_t>(height);
  limits.maxBytes = bytes;
  return limits;
}

enum class image_kind_t { png, jpeg };

bool FilterImage(pappl_job_t *job, pappl_device_t *device, void *data) try {
  const auto kind = *static_cast<const image_kind_t *>(data);
  const char *type = kind == image_kind_t::png ? "PNG" : "JPEG";
  const image_limits_t limits = Limits(job);
  // A compressed file is smaller than its pixels; twice the largest image (and a
  // megabyte for the chunks around it) is more than any printable file needs.
  const size_t fileLimit = (limits.maxBytes ? limits.maxBytes : size_t{limits.maxWidth} * limits.maxHeight * 3) * 2 + (1u << 20);
  std::vector<uint8_t> file;
  if (!ReadJobFile(job, fileLimit, file)) {
    RefuseJob(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR,
              (std::string("The ") + type + " file can't be read or is too large to print").c_str());
    return false;
  }
  // The job's options as PAPPL makes them for the image: its color mode "auto" follows
  // whether the file is in color.
  PrintOptionsPtr options;
  const auto optionsFor = [&](bool color) {
    options.reset(papplJobCreatePrintOptions(job, 1, color));
    return options != nullptr;
  };
  decoded_image_t image;
  if (kind == image_kind_t::png) {
    image = DecodePng(file, limits);
    if (image.error == image_error_t::none && !optionsFor(image.depth == 3)) return false;
  } else {
    image = DecodeJpeg(file, limits, [&](int components) {
      return optionsFor(components > 1) && options->header.cupsNumColors == 1;
    });
    if (!options && image.error == image_error_t::none) return false;
  }
  file = {};
  if (image.error != image_error_t::none) {
    RefuseJob(job, image.error == image_error_t::format ? PAPPL_JREASON_DOCUMENT_FORMAT_ERROR
                                                       : PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR,
              image.message.c_str());
    return false;
  }
  papplLogJob(job, PAPPL_LOGLEVEL_INFO, "%s image is %ux%ux%d at %d dpi", type, image.width, image.height,
              image.depth, image.dpi);
  // PAPPL smooths JPEG photos when it scales them and keeps PNG pixels sharp.
  return papplJobFilterImage(job, device, options.get(), image.pixels.data(), static_cast<int>(image.width),
                             static_cast<int>(image.height), image.depth, image.dpi,
                             kind == image_kind_t::jpeg);
} catch (const std::bad_alloc &) {
  RefuseJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "Unable to allocate memory");
  return false;
} catch (const std::exception &) {
  RefuseJob(job, PAPPL_JREASON_ABORTED_BY_SYSTEM, "The image can't be printed");
  return false;
}

const image_kind_t kPng = image_kind_t::png, kJpeg = image_kind_t::jpeg;

}  // namespace

void AddImageFilters(pappl_system_t *system) {
  // PAPPL looks for a filter to the printer's own format before its built-in ones to
  // PWG raster, so these are the ones it uses.
  papplSystemAddMIMEFilter(system, "image/png", kRawFormat, FilterImage, const_cast<image_kind_t *>(&kPng));
  papplSystemAddMIMEFilter(system, "image/jpeg", kRawFormat, FilterImage, const_cast<image_kind_t *>(&kJpeg));
}
