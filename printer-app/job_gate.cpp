#include "printer-app/job_gate.h"

#include <pthread.h>

#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "printer-app/next_definition.h"

// PAPPL's own definitions (libpappl 1.3.1 exports them for its own use).
extern "C" {
void _papplPrinterCheckJobs(pappl_printer_t *printer);
void *_papplJobProcess(pappl_job_t *job);
void _papplJobProcessRaster(pappl_job_t *job, pappl_client_t *client);
void _papplJobCopyDocumentData(pappl_client_t *client, pappl_job_t *job);
}

namespace {

template <typename Function>
Function *Next(const char *name) {
  return NextDefinition<Function>("libpappl", name);
}

using check_jobs_t = void(pappl_printer_t *);
using process_t = void *(pappl_job_t *);
using process_raster_t = void(pappl_job_t *, pappl_client_t *);
using copy_document_t = void(pappl_client_t *, pappl_job_t *);

check_jobs_t *PapplCheckJobs() {
  static check_jobs_t *const next = Next<check_jobs_t>("_papplPrinterCheckJobs");
  return next;
}

// Whether a job of the printer runs, from its thread's start until PAPPL has finished
// with it, and how many streamed raster jobs wait for it: their clients hold their
// connections open, so they go before the spooled jobs. Printers are few and never freed
// while jobs run; an entry stays.
struct gate_t {
  bool running = false;
  int streamsWaiting = 0;
};
std::mutex g_mutex;
std::condition_variable g_idle;
std::unordered_map<pappl_printer_t *, gate_t> g_gates;

// Marks `printer` running for `job` if none of its jobs is, and `job` is one PAPPL
// would start now: pending, with its document spooled.
bool Claim(pappl_printer_t *printer, pappl_job_t *job) {
  std::lock_guard lock(g_mutex);
  gate_t &gate = g_gates[printer];
  if (gate.running || gate.streamsWaiting > 0 || papplJobGetState(job) != IPP_JSTATE_PENDING ||
      !papplJobGetFilename(job))
    return false;
  gate.running = true;
  return true;
}

process_t *PapplProcess() {
  static process_t *const next = Next<process_t>("_papplJobProcess");
  return next;
}

// The job that has waited longest: pending, its document spooled, the lowest job-id.
pappl_job_t *OldestPending(pappl_printer_t *printer) {
  struct oldest_t {
    pappl_job_t *job = nullptr;
    int id = INT_MAX;
  } oldest;
  papplPrinterIterateActiveJobs(
      printer,
      [](pappl_job_t *job, void *data) {
        auto &found = *static_cast<oldest_t *>(data);
        if (papplJobGetID(job) < found.id && papplJobGetState(job) == IPP_JSTATE_PENDING &&
            papplJobGetFilename(job)) {
          found.job = job;
          found.id = papplJobGetID(job);
        }
      },
      &oldest, 1, 0);
  return oldest.job;
}

void Release(pappl_printer_t *printer);

// Waits until no job of `printer` runs and marks it running for a streamed raster job,
// which goes before the spooled jobs waiting.
void ClaimForStream(pappl_printer_t *printer) {
  std::unique_lock lock(g_mutex);
  gate_t &gate = g_gates[printer];
  ++gate.streamsWaiting;
  g_idle.wait(lock, [&] { return !gate.running; });
  --gate.streamsWaiting;
  gate.running = true;
}

// Whether this client thread holds its printer's gate for the raster job it streams.
thread_local bool t_streamClaimed = false;

bool IsRaster(const char *format) {
  return format && (strcmp(format, "image/pwg-raster") == 0 || strcmp(format, "image/urf") == 0);
}

// A job's thread, its printer already marked running for it. A job cancelled while
// pending since is already ended: starting it would print it and end it a second time.
void *ProcessClaimed(void *data) {
  auto *job = static_cast<pappl_job_t *>(data);
  pappl_printer_t *printer = papplJobGetPrinter(job);
  if (papplJobGetState(job) == IPP_JSTATE_PENDING) PapplProcess()(job);
  Release(printer);
  return nullptr;
}

void Release(pappl_printer_t *printer) {
  {
    std::lock_guard lock(g_mutex);
    g_gates[printer].running = false;
  }
  g_idle.notify_all();
  // The job's own end looked for the next job while it still counted as running.
  _papplPrinterCheckJobs(printer);
}

}  // namespace

// PAPPL 1.3.1 keeps a printer's active jobs newest first and starts the first pending
// one: the last job sent would print first. The oldest pending job is started here;
// PAPPL's own look is left for when none is pending (it releases held jobs whose time
// has come, and then starts one of them through _papplJobProcess below).
extern "C" void _papplPrinterCheckJobs(pappl_printer_t *printer) {
  {
    std::lock_guard lock(g_mutex);
    gate_t &gate = g_gates[printer];
    // The running job, or the streamed one that goes next, looks again when it ends.
    if (gate.running || gate.streamsWaiting > 0) return;
    if (!papplPrinterIsDeleted(printer) && papplPrinterGetState(printer) != IPP_PSTATE_STOPPED) {
      if (pappl_job_t *job = OldestPending(printer)) {
        pthread_t thread;
        gate.running = true;
        if (pthread_create(&thread, nullptr, ProcessClaimed, job) == 0) {
          pthread_detach(thread);
          return;
        }
        gate.running = false;
      }
    }
  }
  PapplCheckJobs()(printer);
}

extern "C" void *_papplJobProcess(pappl_job_t *job) {
  if (!Claim(papplJobGetPrinter(job), job)) return nullptr;
  return ProcessClaimed(job);
}

// PAPPL 1.3.1 refuses a raster job as busy while another job of its printer prints, and
// ends the refused job holding the printer's lock while it waits for the system's, which
// a client asking for the printer's attributes holds while it waits for the printer's:
// the server hung. A raster job's client waits here instead until the printer is free, so
// the job is never refused for being busy and is queued as any other.
extern "C" void _papplJobCopyDocumentData(pappl_client_t *client, pappl_job_t *job) {
  static copy_document_t *const next = Next<copy_document_t>("_papplJobCopyDocumentData");
  if (!IsRaster(papplJobGetFormat(job))) return next(client, job);
  pappl_printer_t *printer = papplJobGetPrinter(job);
  ClaimForStream(printer);
  t_streamClaimed = true;
  next(client, job);
  // Refused without being printed (the printer holds new jobs): the gate is let go here.
  if (t_streamClaimed) {
    t_streamClaimed = false;
    Release(printer);
  }
}

extern "C" void _papplJobProcessRaster(pappl_job_t *job, pappl_client_t *client) {
  static process_raster_t *const next = Next<process_raster_t>("_papplJobProcessRaster");
  pappl_printer_t *printer = papplJobGetPrinter(job);
  if (!t_streamClaimed) ClaimForStream(printer);
  t_streamClaimed = false;
  next(job, client);
  Release(printer);
}
