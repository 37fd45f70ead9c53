#pragma once
// Captures what a piece of in-process code writes to standard output and error.

#include <unistd.h>

#include <cstdio>
#include <string>

#include <cups/file.h>

#include "cupsutil/cups_handles.h"
#include "core/label_doc.h"
#include "filter/print_bitmap.h"
#include "tests/support/run_filter.h"

struct Captured {
  std::string out;
  std::string err;
  int result = 0;
};

template <typename Body>
Captured CaptureStdio(Body body) {
  TempDir dir;
  const std::string outPath = dir.path + "/out", errPath = dir.path + "/err";
  fflush(stdout);
  fflush(stderr);
  int savedOut = dup(1), savedErr = dup(2);
  FILE *out = fopen(outPath.c_str(), "w"), *err = fopen(errPath.c_str(), "w");
  dup2(fileno(out), 1);
  dup2(fileno(err), 2);
  Captured captured;
  captured.result = body();
  fflush(stdout);
  fflush(stderr);
  dup2(savedOut, 1);
  dup2(savedErr, 2);
  close(savedOut);
  close(savedErr);
  fclose(out);
  fclose(err);
  captured.out = ReadFile(outPath);
  captured.err = ReadFile(errPath);
  return captured;
}

// What print_bitmap writes for `raster`, read through a CUPS file as main reads its input.
// `before` and `after` run right around the call, inside the capture.
inline Captured RenderRaster(const label_doc_t &doc, const std::string &raster,
                             void (*before)() = [] {}, void (*after)() = [] {}) {
  TempDir dir;
  WriteFile(dir.path + "/in.ras", raster);
  CupsFilePtr file{cupsFileOpen((dir.path + "/in.ras").c_str(), "r")};
  return CaptureStdio([&] {
    before();
    const int result = print_bitmap(doc, file.get());
    after();
    return result;
  });
}
