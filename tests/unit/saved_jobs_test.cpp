// Jobs saved while printing come back aborted; everything else of the state is kept.

#include <gtest/gtest.h>

#include "printer-app/saved_jobs.h"

namespace {

TEST(SavedJobs, EndJobsThatWerePrinting) {
  struct Case {
    const char *name, *state, *expected;
    int ended;
  } cases[] = {
      {"processing", "Job id=\"7\" name=\"a\" state=\"5\" created=\"10\"\n",
       "Job id=\"7\" name=\"a\" state=\"8\" created=\"10\" state_reasons=\"1\" completed=\"99\"\n", 1},
      {"reasons kept", "Job id=\"7\" state=\"5\" state_reasons=\"4096\" completed=\"50\"",
       "Job id=\"7\" state=\"8\" state_reasons=\"4097\" completed=\"50\"", 1},
      {"pending stays", "Job id=\"8\" state=\"3\"\nJob id=\"9\" state=\"9\"\n",
       "Job id=\"8\" state=\"3\"\nJob id=\"9\" state=\"9\"\n", 0},
      {"a name that looks like a state", "Job id=\"1\" name=\"x\\\" state=\\\"5\\\"\" state=\"3\"\n",
       "Job id=\"1\" name=\"x\\\" state=\\\"5\\\"\" state=\"3\"\n", 0},
      {"not a job line", "<Printer name=\"lab\" state=\"5\">\nJob id=\"2\" state=\"5\"\n</Printer>\n",
       "<Printer name=\"lab\" state=\"5\">\nJob id=\"2\" state=\"8\" state_reasons=\"1\" completed=\"99\"\n</Printer>\n", 1},
      {"empty", "", "", 0},
  };
  for (const Case &c : cases) {
    int ended = -1;
    EXPECT_EQ(EndInterruptedJobs(c.state, 99, ended), c.expected) << c.name;
    EXPECT_EQ(ended, c.ended) << c.name;
  }
}

}  // namespace
