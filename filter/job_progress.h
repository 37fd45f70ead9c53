#pragma once
// What an earlier attempt of a job printed. When the printer goes away mid-job, CUPS sends
// the job again later (on the same printer, or on another of its class): the filter then
// goes on from the first label that did not come out, instead of printing the job's
// labels twice. Kept per job, by its job-uuid, in a folder of the scheduler's cache
// (CUPS_CACHEDIR), and removed once the job has printed whole.

#include <string>

struct job_progress_t {
  std::string path;   // the record's file; empty when the job has none (no job-uuid, no
                      // CUPS_CACHEDIR: a run outside CUPS)
  int printed = 0;    // labels 1 to `printed` are on paper
  int unsure = 0;     // a label that was coming out when the printer went away, and may
                      // or may not have printed; 0 for none
  bool told = false;  // the job was stopped once to say so
};

// The record of the job with this job-uuid ("urn:uuid:..."), as an earlier attempt left
// it; all zero when there was none. Records older than 30 days, of jobs long gone, are
// removed on the way.
job_progress_t read_job_progress(const char *uuid);

// Writes the record whole (a new file put in the old one's place), or does nothing
// without a path. False when it could not be written.
bool write_job_progress(const job_progress_t &progress);

// Removes the record: the job printed whole.
void remove_job_progress(const job_progress_t &progress);
