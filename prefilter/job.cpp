// The job's label size and LabelFit, read with libcups's PPD interface: it marks the
// PPD's defaults and the job's options as the scheduler does and resolves stock and
// custom sizes in points.

#include "prefilter/job.h"

#include <strings.h>

#include <cstdlib>

#include "cupsutil/cups_handles.h"

bool label_fit_off(const char *value) {
  return !strcasecmp(value, "Off") || !strcasecmp(value, "False") || !strcasecmp(value, "No");
}

job_fit_t read_job(const char *ppd_path, const char *options_text) {
  job_fit_t job;
  cups_option_t *parsed = nullptr;
  const int count = cupsParseOptions(options_text, 0, &parsed);
  const OptionsPtr options{parsed, OptionsFree{count}};
  const char *fit = cupsGetOption("LabelFit", count, options.get());

  const PpdPtr ppd{ppd_path && *ppd_path ? ppdOpenFile(ppd_path) : nullptr};
  if (ppd) {
    ppdMarkDefaults(ppd.get());
    cupsMarkOptions(ppd.get(), count, options.get());
    // The marked size: a stock one, or Custom with the job's or the default's numbers.
    const ppd_size_t *size = ppdPageSize(ppd.get(), nullptr);
    // The head's width: the widest custom size (*MaxMediaWidth), a page no wider than it
    // being a label of its own.
    // The printer's resolution, "203dpi" or "300dpi": the job's Resolution or the PPD's.
    const ppd_choice_t *resolution = ppdFindMarkedChoice(ppd.get(), "Resolution");
    const double dpi = resolution ? atof(resolution->choice) : 0;
    if (size && size->width > 0 && size->length > 0)
      job.label = label_size_t{size->width, size->length, ppd->custom_max[0], dpi > 0 ? dpi : 0};
    if (ppd_choice_t *choice = ppdFindMarkedChoice(ppd.get(), "LabelFit"); !fit && choice)
      fit = choice->choice;
  }
  job.find = !(fit && label_fit_off(fit));
  return job;
}
