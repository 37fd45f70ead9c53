#pragma once
// One job at a time per printer, from the moment PAPPL starts it until PAPPL has
// finished with it, however many clients send jobs at once. PAPPL 1.3.1 gets this wrong
// in two ways, and the app mends both by taking the place of PAPPL's internal job
// scheduler functions, which the library calls through its own symbol table (the
// program's definitions come first) and which the gate calls on to:
//  - it starts a job in a new thread that marks the job processing only once it runs;
//    a second look for pending jobs in between starts the same job a second time, and
//    the second run reads job data the first has freed;
//  - a job's end clears the printer's "processing" mark before it closes the device,
//    so a job started in between writes into the device that is being closed (for a
//    file:// device, into the previous job's file) and then into a closed one.
// A job's thread that finds another job of its printer running, or its job no longer
// pending, ends at once without touching the job; each job that ends looks for the next.
// Streamed raster jobs (which PAPPL prints in the client's own thread, and would refuse as
// busy while another job prints) wait their turn the same way.

#include <pappl/pappl.h>

// How many jobs a printer holds, printing and waiting: beyond it a new job is answered
// server-error-busy. PAPPL's raw socket listener takes a connection only while the
// printer has room for another job.
inline constexpr int kMaxQueuedJobs = 100;
