#include "filter/log.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/support/log_capture.h"

namespace {

TEST(WriteLog, LineFormatAndResult) {
  LogToTemp log;
  EXPECT_EQ(WriteLog("argv[%d]:%s", 3, "title"), 13);
  EXPECT_EQ(WriteLog("Gray2Bytes: Enter function\r\n"), 28);
  const std::regex expected(
      R"(\d{4}-(0[1-9]|1[0-2])-(0[1-9]|[12]\d|3[01]) ([01]\d|2[0-3]):[0-5]\d:[0-6]\d argv\[3\]:title\r\n)"
      R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} Gray2Bytes: Enter function\r\n\r\n)");
  EXPECT_TRUE(std::regex_match(log.text(), expected)) << log.text();
}

TEST(WriteLog, WithoutALogNothingIsWritten) {
  CloseLog();
  EXPECT_EQ(WriteLog("Enter main"), -1);
  CloseLog();  // closing twice is harmless
  EXPECT_EQ(pLogFile, nullptr);
}

}  // namespace
