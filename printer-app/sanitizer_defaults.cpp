// Built into the sanitizer build only. PAPPL's main loop never frees the options it
// parses from the command line, nor the connection and answers of the sub-commands that
// talk to a running server (`add`, `status`, `shutdown` ...), so every sub-command would
// end with a leak report and a failed exit status; and PAPPL 1.4 leaves its printers to
// the end of the process when the server stops (a job's thread may still be using one).
// Those leaks, allocated in PAPPL's main loop files or while a printer is made, are
// passed over; the slow unwinder is needed to see through libcups (built without frame
// pointers) to the PAPPL frame that names them.

extern "C" const char *__asan_default_options() { return "fast_unwind_on_malloc=0"; }

extern "C" const char *__lsan_default_suppressions() {
  return "leak:pappl/mainloop\n"
         "leak:papplPrinterCreate\n"
         "leak:cupsAddOption\n";
}
