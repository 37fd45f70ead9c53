#pragma once
// The jobs in PAPPL's saved state. A job saved while it was printing (the server was
// killed, or stopped while a job would not end) would come back "processing" with no
// thread to print it: it could never end, nor be cancelled. Such a job is ended as
// aborted by the system before PAPPL reads the state; pending jobs stay and print.
// No PAPPL here: the state is text.

#include <ctime>
#include <string>

// The state text with every job saved as processing ended as aborted-by-system at
// `now`; the number of jobs so ended in `ended`.
std::string EndInterruptedJobs(const std::string &state, std::time_t now, int &ended);
