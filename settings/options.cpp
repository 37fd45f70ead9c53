#include "settings/options.h"

void set_pstops_options(label_doc_t &doc, int num_options, const cups_option_t *options) {
  (void)num_options;
  (void)options;
  doc.labelWidth = kDefaultLabelWidth;
  doc.labelHeight = kDefaultLabelHeight;
  doc.speed = kDefaultSpeed;
  doc.darkness = kDefaultDarkness;
  doc.mediaTracking = kDefaultMediaTracking;
  doc.mode = kDefaultMode;
}
