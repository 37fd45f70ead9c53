#pragma once
// Asking the printer how it is at the end of a job, over CUPS's back channel (the socket
// and USB backends carry the printer's answers back to the filter). Off unless the queue
// or the job asks for it: the option StatusQuery, On or Off, with the queue's PPD default
// DefaultStatusQuery under the job's option.

#include <cups/cups.h>

// True when the job or its queue turns the status query on.
bool wants_status_query(int num_options, cups_option_t *options);

// Sends the status query after the job's labels and waits up to `timeout` seconds for the
// answer. A printer that reports a fault gets it on standard error as CUPS reads it (STATE:
// +reasons, and an ERROR: line), and the result is 1; a ready printer, or one that does
// not answer, gives 0 and clears the reasons an earlier job set.
int check_printer_status(double timeout);
