// Arbitrary bytes as the job's raster stream, through the whole page loop. The label
// stream goes to /dev/null (and the PAGE lines too, with -close_fd_mask=2); only crashes,
// leaks and undefined behaviour count.

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "cupsutil/cups_handles.h"
#include "core/label_doc.h"
#include "filter/print_bitmap.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  close(null);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  int fd = memfd_create("raster", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (write(fd, data, size) != static_cast<ssize_t>(size) || lseek(fd, 0, SEEK_SET) != 0) {
    close(fd);
    return 0;
  }
  // The mode comes from the first byte, so every conversion rule gets its share.
  label_doc_t doc{4, 7, 0, 60, 40, 0, 0, 0, 0, static_cast<int16_t>(size ? data[0] % 7 - 1 : 5)};
  CupsFilePtr file{cupsFileOpenFd(fd, "r")};
  if (file) print_bitmap(doc, file.get());
  else close(fd);
  clearerr(stdout);
  return 0;
}
