#pragma once
// The diagnostic log: one file, rewritten by every run, one timestamped line per call.

#include <cstdio>

#ifndef VANTEL_LOG_PATH
#define VANTEL_LOG_PATH "/var/log/cups/korvel.log"
#endif

extern FILE *pLogFile;

// Opens (creates or empties) the log file. Without it the run goes on unlogged.
void InitLog();

// Writes "YYYY-MM-DD hh:mm:ss <message>\r\n" and flushes. Returns the length of the
// formatted message, or -1 when no log is open.
int WriteLog(const char *format, ...) __attribute__((format(printf, 1, 2)));

void CloseLog();
