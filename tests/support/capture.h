#pragma once
// Captures what a piece of in-process code writes to standard output and error.

#include <unistd.h>

#include <cstdio>
#include <string>

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
