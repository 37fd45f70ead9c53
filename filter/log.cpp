#include "filter/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <ctime>

FILE *pLogFile = nullptr;

void InitLog() {
  if (pLogFile) return;
  // O_NOFOLLOW: a symbolic link planted at the log path must not make the filter
  // truncate and write whatever file the link points to.
  int fd = open(VANTEL_LOG_PATH, O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return;
  pLogFile = fdopen(fd, "w+");
  if (!pLogFile) close(fd);
}

int WriteLog(const char *format, ...) {
  if (!pLogFile) return -1;

  time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  fprintf(pLogFile, "%04d-%02d-%02d %02d:%02d:%02d ", local.tm_year + 1900, local.tm_mon + 1,
          local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);

  va_list args;
  va_start(args, format);
  int length = vfprintf(pLogFile, format, args);
  va_end(args);

  fputs("\r\n", pLogFile);
  fflush(pLogFile);
  return length;
}

void CloseLog() {
  if (!pLogFile) return;
  fclose(pLogFile);
  pLogFile = nullptr;
}
