// Arbitrary text as the queue's PPD file, read through ppdOpenFile by the PPD defaults
// layer and for the printer's limits exactly as the filter reads it.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/label_doc.h"
#include "filter/ppd_defaults.h"
#include "filter/printer_limits.h"

namespace {
std::string g_path;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  char pattern[] = "/tmp/fuzz-ppd.XXXXXX";
  int fd = mkstemp(pattern);
  if (fd >= 0) close(fd);
  g_path = pattern;
  setenv("PPD", g_path.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FILE *ppd = fopen(g_path.c_str(), "wb");
  if (!ppd) return 0;
  fwrite(data, 1, size, ppd);
  fclose(ppd);
  label_doc_t doc{4, 7, 0, 60, 40, 0, 0, 0, 0, 5};
  limited_settings_t sources;
  set_pstops_with_ppd(doc, &sources);
  unprintable_settings(doc, sources, read_printer_limits());
  return 0;
}
