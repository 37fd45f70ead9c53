// Writes what CUPS reads from a PPD file as sorted text, one fact a line, so that two PPDs
// can be compared by what they mean rather than by their lines (order and comments drop
// out): every page size with its dimensions and printable area, the custom size range,
// every option with its text, default and order, every choice with its text and code, and
// the attributes that are no option. With LANG set (LANG=de_DE.UTF-8 ppd_dump FILE) the
// texts are the PPD's translations for that language, as a print dialog shows them.
//
//   ppd_dump FILE         exits 1 when FILE is no PPD libcups can read

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cupsutil/cups_handles.h"

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: ppd_dump FILE\n");
    return 2;
  }
  PpdPtr ppd{ppdOpenFile(argv[1])};
  if (!ppd) {
    fprintf(stderr, "ppd_dump: %s: %s\n", argv[1], ppdErrorString(ppdLastError(nullptr)));
    return 1;
  }
  ppdLocalize(ppd.get());

  std::vector<std::string> lines;
  auto add = [&lines](const char *format, auto... values) {
    char line[2048];
    snprintf(line, sizeof line, format, values...);
    lines.push_back(line);
  };
  for (int i = 0; i < ppd->num_sizes; ++i) {
    const ppd_size_t &s = ppd->sizes[i];
    add("size %s %g x %g, printable %g %g %g %g", s.name, s.width, s.length, s.left, s.bottom,
        s.right, s.top);
  }
  add("custom sizes %s, from %g x %g to %g x %g, margins %g %g %g %g",
      ppd->variable_sizes ? "yes" : "no", ppd->custom_min[0], ppd->custom_min[1],
      ppd->custom_max[0], ppd->custom_max[1], ppd->custom_margins[0], ppd->custom_margins[1],
      ppd->custom_margins[2], ppd->custom_margins[3]);
  for (ppd_option_t *o = ppdFirstOption(ppd.get()); o; o = ppdNextOption(ppd.get())) {
    add("option %s \"%s\" ui %d, section %d, order %g, default %s", o->keyword, o->text, o->ui,
        o->section, o->order, o->defchoice);
    for (int i = 0; i < o->num_choices; ++i) {
      const ppd_choice_t &c = o->choices[i];
      add("choice %s %s \"%s\": \"%s\"", o->keyword, c.choice, c.text, c.code ? c.code : "");
    }
  }
  // Attributes that are neither an option's lines nor a translation (xx.Name).
  for (int i = 0; i < ppd->num_attrs; ++i) {
    // libcups's record: the keyword, its option keyword, its text and its value.
    const auto &[keyword, optionKeyword, text, value] = *ppd->attrs[i];
    const std::string name = keyword;
    if (name.find('.') != std::string::npos || ppdFindOption(ppd.get(), name.c_str())) continue;
    add("attribute %s %s \"%s\": \"%s\"", keyword, optionKeyword, text, value ? value : "");
  }
  std::sort(lines.begin(), lines.end());
  for (const std::string &line : lines) puts(line.c_str());
  return 0;
}
