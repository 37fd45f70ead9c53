#include "filter/log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <ctime>

FILE *pLogFile = nullptr;

void InitLog() {
  if (pLogFile) return;
  // O_NOFOLLOW: a symbolic link planted at the log path must not make the filter
  // truncate and write whatever file the link points to. The log tells what a job
  // printed, so it is not for every user to read.
  int fd = open(VANTEL_LOG_PATH, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0640);
  if (fd < 0) return;
  struct stat file {};
  if (fstat(fd, &file) != 0 || !S_ISREG(file.st_mode)) {
    close(fd);
    return;
  }
  // One job at a time owns the file for its whole run, and only the owner empties it:
  // a second job emptying it under the first would leave the first's later lines after
  // a run of NUL bytes, mixed with its own. A job that finds the file taken goes on
  // without a log.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    fputs("DEBUG: The filter's log " VANTEL_LOG_PATH " is in use by another job; this job "
          "writes none\n", stderr);
    close(fd);
    return;
  }
  if (ftruncate(fd, 0) != 0 || !(pLogFile = fdopen(fd, "w+"))) close(fd);
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
