#pragma once
// Points the diagnostic log at a temporary file for the length of a test and reads back
// what was written. The log is closed when the capture ends.

#include <cstdio>
#include <string>
#include <vector>

#include "filter/log.h"
#include "tests/support/run_filter.h"

struct LogToTemp {
  LogToTemp() { pLogFile = tmpfile(); }
  ~LogToTemp() { CloseLog(); }
  LogToTemp(const LogToTemp &) = delete;
  LogToTemp &operator=(const LogToTemp &) = delete;

  // Everything written so far, timestamps and line ends included.
  std::string text() {
    fflush(pLogFile);
    std::string all;
    rewind(pLogFile);
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pLogFile)) > 0) all.append(chunk, n);
    return all;
  }

  // The messages written so far, without their timestamps.
  std::vector<std::string> messages() { return LogMessages(text()); }
};
