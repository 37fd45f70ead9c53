// The pdftolabel pre-filter: what it reads of a job, and the built program run as CUPS
// runs it. Whatever it does not cut into labels must come out byte for byte as it came.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "prefilter/job.h"
#include "tests/labelfit/test_pdf.h"
#include "tests/support/run_filter.h"

namespace {

// A small real PPD: two stock sizes, custom sizes, and LabelFit.
std::string test_ppd(const std::string &page_size, const std::string &label_fit) {
  return "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
         "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"TEST.PPD\"\n"
         "*Manufacturer: \"Test\"\n*Product: \"(Test)\"\n*ModelName: \"Test\"\n"
         "*ShortNickName: \"Test\"\n*NickName: \"Test\"\n"
         "*MaxMediaWidth: \"288\"\n*MaxMediaHeight: \"2880\"\n"
         "*CustomPageSize True: \"pop pop pop <</PageSize[5 -2 roll]>>setpagedevice\"\n"
         "*ParamCustomPageSize Width: 1 points 32 288\n"
         "*ParamCustomPageSize Height: 2 points 32 2880\n"
         "*ParamCustomPageSize WidthOffset: 3 points 0 0\n"
         "*ParamCustomPageSize HeightOffset: 4 points 0 0\n"
         "*ParamCustomPageSize Orientation: 5 int 0 0\n"
         "*OpenUI *PageSize: PickOne\n*DefaultPageSize: " + page_size + "\n"
         "*PageSize w288h144: \"<</PageSize[288 144]>>setpagedevice\"\n"
         "*PageSize w288h432: \"<</PageSize[288 432]>>setpagedevice\"\n*CloseUI: *PageSize\n"
         "*PaperDimension w288h144: \"288 144\"\n*PaperDimension w288h432: \"288 432\"\n"
         "*ImageableArea w288h144: \"0 0 288 144\"\n*ImageableArea w288h432: \"0 0 288 432\"\n"
         "*OpenUI *LabelFit: PickOne\n*DefaultLabelFit: " + label_fit + "\n"
         "*LabelFit On: \"\"\n*LabelFit Off: \"\"\n*CloseUI: *LabelFit\n"
         "*OpenUI *Resolution: PickOne\n*DefaultResolution: 203dpi\n"
         "*Resolution 203dpi: \"\"\n*Resolution 300dpi: \"\"\n*CloseUI: *Resolution\n";
}

TEST(ReadJob, LabelSizeAndLabelFitTheJobOverThePpd) {
  struct Case {
    const char *name, *ppd_size, *ppd_fit, *options;
    double width, height;  // 0: no label size
    bool find;
    double dpi = 203;
  } cases[] = {
      {"the PPD's default", "w288h144", "On", "", 288, 144, true},
      {"the job's PageSize", "w288h144", "On", "PageSize=w288h432", 288, 432, true},
      {"the job's media", "w288h144", "On", "media=w288h432", 288, 432, true},
      {"a custom size in points", "w288h144", "On", "PageSize=Custom.200x400", 200, 400, true},
      {"a custom size in inches", "w288h144", "On", "PageSize=Custom.4x6in", 288, 432, true},
      {"a custom default, as lpadmin writes it", "Custom.60x40mm", "On", "", 170.08, 113.39, true},
      {"LabelFit off for the job", "w288h144", "On", "LabelFit=Off", 288, 144, false},
      {"noLabelFit", "w288h144", "On", "noLabelFit", 288, 144, false},
      {"LabelFit off for the queue", "w288h144", "Off", "", 288, 144, false},
      {"the job turns it on again", "w288h144", "Off", "LabelFit=On", 288, 144, true},
      {"no PPD", nullptr, nullptr, "PageSize=w288h432", 0, 0, true},
      {"the job's resolution", "w288h144", "On", "Resolution=300dpi", 288, 144, true, 300},
  };
  TempDir dir;
  for (const Case &c : cases) {
    const std::string path = dir.path + "/q.ppd";
    if (c.ppd_size) WriteFile(path, test_ppd(c.ppd_size, c.ppd_fit));
    const job_fit_t job = read_job(c.ppd_size ? path.c_str() : nullptr, c.options);
    EXPECT_EQ(job.find, c.find) << c.name;
    ASSERT_EQ(job.label.has_value(), c.width > 0) << c.name;
    if (!job.label) continue;
    EXPECT_NEAR(job.label->width, c.width, 0.01) << c.name;
    EXPECT_NEAR(job.label->height, c.height, 0.01) << c.name;
    EXPECT_EQ(job.label->dpi, c.dpi) << c.name;
  }
}

TEST(Pdftolabel, CutsWhatItCanAndPassesTheRestOnAsItCame) {
  TempDir dir;
  const std::string ppd = dir.path + "/q.ppd", letter_file = dir.path + "/letter.pdf";
  WriteFile(ppd, test_ppd("w288h432", "On"));
  const std::string letter = make_pdf({{{0, 0, 612, 792}, {{18, 342, 306, 774}}}});
  const std::string label = make_pdf({{{0, 0, 288, 432}, {{18, 18, 270, 414}}}});
  WriteFile(letter_file, letter);
  const std::vector<std::string> with_ppd{"PPD=" + ppd};
  std::string no_pages = letter;
  no_pages.replace(no_pages.find("/Kids"), 5, "/Kxds");
  const std::string usage = "ERROR: pdftolabel job-id user title copies options [file]\n";

  struct Case {
    const char *name;
    std::vector<std::string> args;  // after argv[0]
    std::string input;
    std::vector<std::string> env;
    int status;
    bool same;         // standard output is the input, byte for byte
    std::string err;   // in standard error
  } cases[] = {
      {"a carrier page is cut", {"1", "u", "t", "1", ""}, letter, with_ppd, 0, false, "1 label:"},
      {"from a file", {"1", "u", "t", "1", "", letter_file}, "", with_ppd, 0, false, "1 label:"},
      {"a page of the label's size", {"1", "u", "t", "1", ""}, label, with_ppd, 0, true,
       "size of the label: left as it is"},
      {"LabelFit off", {"1", "u", "t", "1", "LabelFit=Off"}, letter, with_ppd, 0, true,
       "DEBUG: pdftolabel: LabelFit is off"},
      {"no PPD", {"1", "u", "t", "1", ""}, letter, {}, 0, true, "DEBUG: pdftolabel: no label size"},
      {"not a PDF", {"1", "u", "t", "1", ""}, "%!PS-Adobe-3.0\nshowpage\n", with_ppd, 0, true,
       "DEBUG: pdftolabel: not a PDF"},
      {"a PDF cut short", {"1", "u", "t", "1", ""}, letter.substr(0, 40), with_ppd, 0, true,
       "left as it is"},
      {"nothing", {"1", "u", "t", "1", ""}, "", with_ppd, 0, true, "not a PDF"},
      // A page tree that names no page (a garbled /Kids): nothing would print.
      {"a PDF with no page", {"1", "u", "t", "1", "LabelFit=Off"},
       no_pages, with_ppd, 1, false,
       "ERROR: The document has no page that can be printed\n"},
      {"a file that is not there", {"1", "u", "t", "1", "", dir.path + "/none"}, "", with_ppd, 1,
       false, "ERROR: Unable to open print file\n"},
      {"too few arguments", {"1", "u", "t", "1"}, letter, with_ppd, 1, false, usage},
  };
  for (const Case &c : cases) {
    std::vector<std::string> args{"q"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const RunResult r = RunProgram(PDFTOLABEL_PATH, args, c.input, c.env, true);
    EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.name << ": " << r.err;
    if (c.status != 0) {
      EXPECT_EQ(r.out, "") << c.name;
    } else if (c.same) {
      EXPECT_TRUE(r.out == c.input) << c.name << ": the output differs from the input";
    } else {
      EXPECT_EQ(draw_page(r.out, 0).width, 288) << c.name << ": no label-sized first page";
    }
  }
}

}  // namespace
