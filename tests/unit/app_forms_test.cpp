// What the printer application takes from its users: the settings pages' forms, which
// any client can post with anything in them, and the server's options.

#include <gtest/gtest.h>

#include <cups/cups.h>

#include <optional>
#include <string>

#include "printer-app/forms.h"
#include "printer-app/server_options.h"

namespace {

// A form as a browser posts it, "name=value name=value".
struct Form {
  explicit Form(const char *text) : count(cupsParseOptions(text, 0, &options)) {}
  ~Form() { cupsFreeOptions(count, options); }
  Form(const Form &) = delete;
  Form &operator=(const Form &) = delete;
  cups_option_t *options = nullptr;  // before count: cupsParseOptions fills it in
  int count;
};

// The vendor options a form reader set, "name=value" in cupsParseOptions' order.
std::string Text(const OptionsPtr &vendor) {
  std::string text;
  for (int i = 0; i < vendor.get_deleter().count; ++i)
    text += std::string(text.empty() ? "" : " ") + vendor.get()[i].name + "=" + vendor.get()[i].value;
  return text;
}

// Only a whole decimal number within the range counts, with a minus sign only where the
// range goes below 0: a forged or garbled field changes nothing.
TEST(AppForms, NumbersAreWholeAndInRange) {
  struct Case { const char *text; int lo, hi; std::optional<int> value; } cases[] = {
      {"7", 0, 15, 7},           {"0", 0, 15, 0},         {"15", 0, 15, 15},
      {"16", 0, 15, std::nullopt}, {"-1", 0, 15, std::nullopt}, {"", 0, 15, std::nullopt},
      {nullptr, 0, 15, std::nullopt}, {"7 ", 0, 15, std::nullopt}, {"0x7", 0, 15, std::nullopt},
      {"1", 2, 6, std::nullopt}, {"99999999999999999999", 0, 15, std::nullopt},
      {"000000004", 2, 6, 4},
      {"-35", -35, 35, -35},     {"-36", -35, 35, std::nullopt}, {"35", -35, 35, 35},
      {"-", -35, 35, std::nullopt}, {"--1", -35, 35, std::nullopt}, {"+1", -35, 35, std::nullopt},
      {" -1", -35, 35, std::nullopt}, {"-0", -35, 35, 0}, {"-999999999", -300, 300, std::nullopt},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(FormNumber(c.text, c.lo, c.hi), c.value) << (c.text ? c.text : "(null)");
  }
}

// Each field of the Printing Defaults page sets its default, and a value the page does
// not offer refuses the whole form.
TEST(AppForms, PrintingDefaultsTakeOnlyWhatThePageOffers) {
  struct Case {
    const char *form;
    bool read;
    int darkness = 0, speed = 0;
    ipp_orient_t orientation = IPP_ORIENT_PORTRAIT;
    pappl_color_mode_t color = PAPPL_COLOR_MODE_MONOCHROME;
    pappl_scaling_t scaling = PAPPL_SCALING_AUTO;
    const char *vendor = "";
  } cases[] = {
      {"", true, 46, 0, IPP_ORIENT_PORTRAIT, PAPPL_COLOR_MODE_MONOCHROME, PAPPL_SCALING_AUTO, ""},
      {"print-darkness=15 print-speed=6", true, 100, 15240, IPP_ORIENT_PORTRAIT, PAPPL_COLOR_MODE_MONOCHROME,
       PAPPL_SCALING_AUTO, ""},
      {"print-darkness=1 print-speed=2", true, 6, 5080, IPP_ORIENT_PORTRAIT, PAPPL_COLOR_MODE_MONOCHROME,
       PAPPL_SCALING_AUTO, ""},
      {"orientation-requested=7 print-color-mode=bi-level print-scaling=fill", true, 46, 0, IPP_ORIENT_NONE,
       PAPPL_COLOR_MODE_BI_LEVEL, PAPPL_SCALING_FILL, ""},
      {"print-scaling=auto-fit print-color-mode=monochrome", true, 46, 0, IPP_ORIENT_PORTRAIT,
       PAPPL_COLOR_MODE_MONOCHROME, PAPPL_SCALING_AUTO_FIT, ""},
      {"vantel-print-mode=fine-dither vantel-label-fit=whole-page", true, 46, 0, IPP_ORIENT_PORTRAIT,
       PAPPL_COLOR_MODE_MONOCHROME, PAPPL_SCALING_AUTO, "vantel-label-fit=whole-page vantel-print-mode=fine-dither"},
      {"print-darkness=16", false},
      {"print-speed=1", false},
      {"print-speed=7", false},
      {"orientation-requested=8", false},
      {"print-color-mode=color", false},
      {"print-scaling=stretch", false},
      {"vantel-print-mode=dither", false},
      {"vantel-label-fit=all", false},
      {"print-darkness=15 vantel-label-fit=all", false},
  };
  for (const Case &c : cases) {
    pappl_pr_driver_data_t data{};
    data.darkness_configured = 46;
    data.orient_default = IPP_ORIENT_PORTRAIT;
    data.color_default = PAPPL_COLOR_MODE_MONOCHROME;
    data.scaling_default = PAPPL_SCALING_AUTO;
    Form form(c.form);
    OptionsPtr vendor{nullptr, OptionsFree{0}};
    EXPECT_EQ(ReadDefaultsForm(form.count, form.options, data, vendor), c.read) << c.form;
    if (!c.read) continue;
    EXPECT_EQ(data.darkness_configured, c.darkness) << c.form;
    EXPECT_EQ(data.speed_default, c.speed) << c.form;
    EXPECT_EQ(data.orient_default, c.orientation) << c.form;
    EXPECT_EQ(data.color_default, c.color) << c.form;
    EXPECT_EQ(data.scaling_default, c.scaling) << c.form;
    EXPECT_EQ(Text(vendor), c.vendor) << c.form;
  }
}

// The Media & Finishing form sets the label mode, the tear-off position and every vendor
// setting at once: one missing or out of its range refuses it all; a print direction
// the page does not offer is only left out.
TEST(AppForms, MediaSettingsComeWholeAndInRange) {
  const std::string vendorFields =
      " vantel-gap-height=300 vantel-gap-offset=0 vantel-cut-interval=5 vantel-print-shift=-35";
  struct Case {
    std::string form;
    bool read;
    pappl_label_mode_t mode = PAPPL_LABEL_MODE_TEAR_OFF;
    int tear = 0;
    const char *vendor = "";
  } cases[] = {
      {"label-mode-configured=cutter label-tear-offset-configured=-300" + vendorFields +
           " vantel-print-direction=upside-down",
       true, PAPPL_LABEL_MODE_CUTTER, -300,
       "vantel-cut-interval=5 vantel-gap-height=300 vantel-gap-offset=0 vantel-print-direction=upside-down "
       "vantel-print-shift=-35"},
      {"label-mode-configured=cutter-delayed label-tear-offset-configured=300" + vendorFields +
           " vantel-print-direction=sideways",
       true, PAPPL_LABEL_MODE_CUTTER_DELAYED, 300,
       "vantel-cut-interval=5 vantel-gap-height=300 vantel-gap-offset=0 vantel-print-shift=-35"},
      {"label-mode-configured=peel-off label-tear-offset-configured=0" + vendorFields, true,
       PAPPL_LABEL_MODE_PEEL_OFF, 0, "vantel-cut-interval=5 vantel-gap-height=300 vantel-gap-offset=0 vantel-print-shift=-35"},
      {"label-mode-configured=cutter label-tear-offset-configured=301" + vendorFields, false},
      {"label-mode-configured=cutter label-tear-offset-configured=-301" + vendorFields, false},
      {"label-mode-configured=cutter" + vendorFields, false},
      {"label-mode-configured=staple label-tear-offset-configured=0" + vendorFields, false},
      {"label-tear-offset-configured=0" + vendorFields, false},
      {"label-mode-configured=cutter label-tear-offset-configured=0 vantel-gap-height=2001 vantel-gap-offset=0 "
       "vantel-cut-interval=5 vantel-print-shift=0",
       false},
      {"label-mode-configured=cutter label-tear-offset-configured=0 vantel-gap-height=0 vantel-gap-offset=0 "
       "vantel-cut-interval=0 vantel-print-shift=0",
       false},
      {"label-mode-configured=cutter label-tear-offset-configured=0 vantel-gap-height=0 vantel-gap-offset=0 "
       "vantel-cut-interval=1",
       false},
  };
  for (const Case &c : cases) {
    pappl_pr_driver_data_t data{};
    data.mode_configured = PAPPL_LABEL_MODE_TEAR_OFF;
    Form form(c.form.c_str());
    OptionsPtr vendor{nullptr, OptionsFree{0}};
    EXPECT_EQ(ReadMediaForm(form.count, form.options, data, vendor), c.read) << c.form;
    if (!c.read) continue;
    EXPECT_EQ(data.mode_configured, c.mode) << c.form;
    EXPECT_EQ(data.tear_offset_configured, c.tear) << c.form;
    EXPECT_EQ(Text(vendor), c.vendor) << c.form;
  }
}

// The server's options as PAPPL's main loop passes them on: a bad port stops the server,
// unknown log levels and option words are passed over.
TEST(AppForms, ServerOptionsReadAsTheManualSays) {
  EXPECT_EQ(ServerPort(nullptr), 0);
  EXPECT_EQ(ServerPort("8632"), 8632);
  EXPECT_EQ(ServerPort("65535"), 65535);
  EXPECT_EQ(ServerPort("65536"), std::nullopt);
  EXPECT_EQ(ServerPort("-1"), std::nullopt);
  EXPECT_EQ(ServerPort("80x"), std::nullopt);
  EXPECT_EQ(LogLevel("debug"), PAPPL_LOGLEVEL_DEBUG);
  EXPECT_EQ(LogLevel("fatal"), PAPPL_LOGLEVEL_FATAL);
  EXPECT_EQ(LogLevel("loud"), PAPPL_LOGLEVEL_WARN);
  EXPECT_EQ(LogLevel(nullptr), PAPPL_LOGLEVEL_WARN);
  const pappl_soptions_t standard = PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE;
  struct Case { const char *text; pappl_soptions_t options; } cases[] = {
      {nullptr, standard},
      {"", standard},
      {"no-tls", standard | PAPPL_SOPTIONS_NO_TLS},
      {"raw-socket,web-remote,no-multi-queue",
       PAPPL_SOPTIONS_WEB_INTERFACE | PAPPL_SOPTIONS_RAW_SOCKET | PAPPL_SOPTIONS_WEB_REMOTE},
      {"none", 0},
      {"no-tls,none,web-log", PAPPL_SOPTIONS_WEB_LOG},
      {"no-web-interface,tls-please,", PAPPL_SOPTIONS_MULTI_QUEUE},
      {"no-tl", standard},
  };
  for (const Case &c : cases) EXPECT_EQ(ServerOptions(c.text), c.options) << (c.text ? c.text : "(null)");
  EXPECT_TRUE(IsLoopbackOnly("127.0.0.1"));
  EXPECT_TRUE(IsLoopbackOnly("::1"));
  EXPECT_FALSE(IsLoopbackOnly("127.0.0.2"));
  EXPECT_FALSE(IsLoopbackOnly("*"));
  EXPECT_FALSE(IsLoopbackOnly(""));
}

}  // namespace
