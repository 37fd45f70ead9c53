#include "printer-app/saved_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cupsutil/app_handles.h"
#include "printer-app/printer_defaults.h"
#include "printer-app/printers.h"

namespace {

constexpr const char *kBaseName = "vantel-printer-app";

// Puts the finished `temporary` file in the place of `path`: on the disk first, then
// renamed over it, so that a crash or a power cut at any moment leaves either the old
// file or the new one whole, never a part of one.
bool CommitFile(const std::string &temporary, const std::string &path) {
  const FileDescriptor file{open(temporary.c_str(), O_RDONLY | O_CLOEXEC)};
  const bool synced = file.get() >= 0 && fsync(file.get()) == 0;
  if (synced && rename(temporary.c_str(), path.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

// PAPPL 1.3.1 never saves print-speed-default and leaves out a darkness of 0, so a
// restart would bring back the driver's defaults. Both are kept here, one line a printer.
void SaveSettings(pappl_printer_t *printer, void *file) {
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  fprintf(static_cast<FILE *>(file), "%d %d %d\n", papplPrinterGetID(printer), data.speed_default,
          data.darkness_configured);
}

void RestoreSettings(pappl_printer_t *printer, FILE *file) {
  rewind(file);
  int id, speed, darkness;
  while (fscanf(file, "%d %d %d", &id, &speed, &darkness) == 3) {
    if (id != papplPrinterGetID(printer)) continue;
    pappl_pr_driver_data_t data;
    papplPrinterGetDriverData(printer, &data);
    data.speed_default = speed;
    data.darkness_configured = darkness;
    papplPrinterSetDriverDefaults(printer, &data, 0, nullptr);
    UpdateDefaultAttributes(printer);
  }
}

// PAPPL writes its state in place, from the start: written into a file of its own first,
// the state in use is never cut short.
bool WriteStateFiles(pappl_system_t *system) {
  const std::string statePath = StatePath(".state"), state = statePath + ".new";
  if (!papplSystemSaveState(system, state.c_str()) || !CommitFile(state, statePath)) return false;
  const std::string settingsPath = StatePath(".settings"), settings = settingsPath + ".new";
  FilePtr file{fopen(settings.c_str(), "w")};
  if (!file) return false;
  papplSystemIteratePrinters(system, SaveSettings, file.get());
  return fclose(file.release()) == 0 && CommitFile(settings, settingsPath);
}

}  // namespace

std::string StatePath(const char *suffix) {
  if (const char *snap = getenv("SNAP_COMMON")) return std::string(snap) + "/" + kBaseName + suffix;
  if (getuid() == 0) {
    if (strcmp(suffix, ".d") == 0) return std::string("/var/spool/") + kBaseName;
    return std::string("/var/lib/") + kBaseName + suffix;
  }
  const char *config = getenv("XDG_CONFIG_HOME");
  std::string home = config ? config : "";
  if (home.empty() && getenv("HOME")) {
    home = std::string(getenv("HOME")) + "/.config";
    mkdir(home.c_str(), 0700);
  }
  if (!home.empty()) return home + "/" + kBaseName + suffix;
  return std::string(papplGetTempDir()) + "/" + kBaseName + std::to_string(getuid()) + suffix;
}

void LoadState(pappl_system_t *system) {
  papplSystemLoadState(system, StatePath(".state").c_str());
  const FilePtr file{fopen(StatePath(".settings").c_str(), "r")};
  if (!file) return;
  for (pappl_printer_t *printer : Printers(system)) RestoreSettings(printer, file.get());
}

bool SaveState(pappl_system_t *system, void *) {
  // A default changed over IPP shows in the printer's attributes from here on (outside
  // the iteration, which holds the system's lock).
  for (pappl_printer_t *printer : Printers(system)) UpdateDefaultAttributes(printer);
  return WriteStateFiles(system);
}
