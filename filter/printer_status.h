#pragma once
// Following the printer label by label over CUPS's back channel (the socket and USB
// backends carry the printer's answers back to the filter). Off unless the queue or the job
// asks for it: the option StatusQuery, On or Off, with the queue's PPD default
// DefaultStatusQuery under the job's option.
//
// On, the filter asks the printer's status (ESC ! ?) after each label and sends the next
// one only once the printer says the label is on paper. A fault the printer reports (out
// of paper, head open, paused) shows on the queue at once, and the job waits for it to be
// cleared; a label is counted (PAGE:) when it has come out. When the printer goes away
// mid-job, the job ends with how many labels printed, and what printed is kept so that
// CUPS, sending the job again, gets only the labels still missing.

#include <cups/cups.h>

#include <cstdint>

#include "filter/job_progress.h"

// True when the job or its queue turns the status query on.
bool wants_status_query(int num_options, cups_option_t *options);

struct printer_follow_t {
  job_progress_t progress;  // the labels on paper, kept for a job sent again
  int skip = 0;             // labels an earlier attempt printed, not sent again
  bool answers = true;      // false once the printer turned out not to answer the query
  bool everAnswered = false;
  bool cleared = false;     // the reasons an earlier job may have left are cleared
  uint8_t reported = 0;     // the fault bits shown on the queue now
  bool offline = false;     // shown as not answering
  double roundTrip = 0;     // the longest a query has taken to be answered, seconds
  int lostLabel = 0;        // the label going out when the printer was lost; 0: not lost
  bool lostUnsure = false;  // it may have come out all the same
};

// Starts following the job with this job-uuid (null outside CUPS): takes up what an earlier
// attempt of it printed. False, with the job's ERROR line written, when the job must stop
// before anything is sent: an earlier attempt lost the printer just as a label came out.
bool start_following(printer_follow_t &follow, const char *uuid);

// Called once label `page` (of `copies` copies, taking `printSeconds` on the printer at
// the least) has been written and flushed: asks the printer until the label is on paper,
// showing what stops it meanwhile. Gives back false when the printer was lost, and true
// when the label printed, when the printer does not answer at all (the rest of the job is
// then sent without asking), or when the job was cancelled.
bool follow_label(printer_follow_t &follow, int page, int copies, double printSeconds);

// A write to the printer failed while label `page` was going out: the printer is gone,
// and the label did not reach it whole.
void lost_while_sending(printer_follow_t &follow, int page);

// Ends following: keeps or removes the record of what printed (`whole`: every label of the
// job came out), and for a printer that was lost clears the reasons it showed and writes
// the job's ERROR line. Gives back 1 when the printer was lost, else 0.
int end_following(printer_follow_t &follow, bool whole);

// Whether a label the printer was printing when it was lost may have come out: it was sent
// at `sentAt` and takes `printSeconds` at the least; the first query left unanswered was
// sent at `unansweredAt`, and a query reaches the printer within `roundTrip` (the longest
// a query has taken to be answered). A printer still on when that query reached it would
// have answered it.
bool lost_label_may_have_printed(double sentAt, double printSeconds, double unansweredAt,
                                 double roundTrip);
