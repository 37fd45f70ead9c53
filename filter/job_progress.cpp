#include "filter/job_progress.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

constexpr const char *kFolder = "rastertovantel-jobs";
constexpr auto kKeptFor = std::chrono::hours(24 * 30);

// The uuid of "urn:uuid:0f1e...", when it is one: 36 characters of hex digits and dashes,
// so that nothing a job names can reach outside the folder.
std::string UuidOf(const char *uuid) {
  if (!uuid || strncmp(uuid, "urn:uuid:", 9) != 0) return "";
  const std::string id = uuid + 9;
  if (id.size() != 36 || id.find_first_not_of("0123456789abcdefABCDEF-") != std::string::npos)
    return "";
  return id;
}

void RemoveOldRecords(const std::filesystem::path &folder) {
  std::error_code error;
  const auto now = std::filesystem::file_time_type::clock::now();
  for (const auto &entry : std::filesystem::directory_iterator(folder, error)) {
    const auto written = entry.last_write_time(error);
    if (!error && now - written > kKeptFor) std::filesystem::remove(entry.path(), error);
  }
}

}  // namespace

job_progress_t read_job_progress(const char *uuid) {
  job_progress_t progress;
  const char *cache = getenv("CUPS_CACHEDIR");
  const std::string id = UuidOf(uuid);
  if (!cache || !*cache || id.empty()) return progress;
  const std::filesystem::path folder = std::filesystem::path(cache) / kFolder;
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return progress;
  RemoveOldRecords(folder);
  progress.path = (folder / id).string();

  FILE *file = fopen(progress.path.c_str(), "r");
  if (!file) return progress;
  int printed = 0, unsure = 0, told = 0;
  if (fscanf(file, "printed %d unsure %d told %d", &printed, &unsure, &told) == 3 &&
      printed >= 0 && unsure >= 0) {
    progress.printed = printed;
    progress.unsure = unsure;
    progress.told = told != 0;
  }
  fclose(file);
  return progress;
}

bool write_job_progress(const job_progress_t &progress) {
  if (progress.path.empty()) return true;
  const std::string temporary = progress.path + ".new";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  char text[96];
  const int length = snprintf(text, sizeof text, "printed %d\nunsure %d\ntold %d\n",
                              progress.printed, progress.unsure, progress.told ? 1 : 0);
  const bool written = write(fd, text, length) == length && fsync(fd) == 0;
  if (close(fd) != 0 || !written || rename(temporary.c_str(), progress.path.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

void remove_job_progress(const job_progress_t &progress) {
  if (!progress.path.empty()) unlink(progress.path.c_str());
}
