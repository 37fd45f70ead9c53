#include "printer-app/label_settings.h"

#include <cups/cups.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kQuarterInch = 635;  // hundredths of a millimetre

double HundredthsToPoints(int hundredths) { return hundredths * 72.0 / 2540.0; }

bool IsWholePoints(int hundredths) {
  return PointsToHundredths(std::round(HundredthsToPoints(hundredths))) == hundredths;
}

}  // namespace

int PointsToHundredths(double points) {
  return static_cast<int>(std::lround(points * 2540.0 / 72.0));
}

points_t StockPoints(const page_size_t &size) {
  points_t points{0, 0};
  sscanf(size.name, "w%dh%d", &points.width, &points.height);
  return points;
}

std::string StockMediaName(const page_size_t &size) {
  const points_t points = StockPoints(size);
  const int width = PointsToHundredths(points.width), length = PointsToHundredths(points.height);
  const bool inches = width % kQuarterInch == 0 && length % kQuarterInch == 0;
  char name[128];
  pwgFormatSizeName(name, sizeof name, inches ? "oe" : "om", size.name, width, length,
                    inches ? "in" : "mm");
  return name;
}

void SetLabelSize(label_doc_t &doc, int width, int length) {
  for (const page_size_t &size : g_page_list) {
    const points_t points = StockPoints(size);
    if (PointsToHundredths(points.width) == width && PointsToHundredths(points.height) == length) {
      doc.labelWidth = low_16_bits(size.width);
      doc.labelHeight = low_16_bits(size.height);
      return;
    }
  }
  if (IsWholePoints(width) && IsWholePoints(length)) {
    set_custom_points_size(doc, std::round(HundredthsToPoints(width)),
                           std::round(HundredthsToPoints(length)));
  } else if (width % 100 == 0 && length % 100 == 0) {
    set_custom_millimetre_size(doc, width / 100, length / 100);
  } else {
    set_custom_points_size(doc, HundredthsToPoints(width), HundredthsToPoints(length));
  }
}

int DarknessPercent(int level) { return 100 * level / (kDarknessLevels - 1); }

int16_t DarknessLevel(int configured, int job) {
  const int percent = std::clamp(configured + job, 0, 100);
  return static_cast<int16_t>((percent * (kDarknessLevels - 1) + 50) / 100);
}

int16_t SpeedSetting(int hundredthsPerSecond) {
  if (hundredthsPerSecond <= 0) return kDefaultSpeed;
  const int inches = (hundredthsPerSecond + kSpeedStep / 2) / kSpeedStep;
  return static_cast<int16_t>(std::clamp(inches, kMinSpeed, kMaxSpeed));
}

int16_t OffsetDots(int hundredths, int dpi) {
  const int clamped = std::clamp(hundredths, 0, kMaxOffset);
  return static_cast<int16_t>((clamped * dpi + 1270) / 2540);
}

int16_t ModeForKeyword(const char *keyword) {
  for (const print_mode_t &mode : kPrintModes) {
    if (keyword && strcmp(keyword, mode.keyword) == 0) return mode.mode;
  }
  return kDefaultMode;
}

int16_t ModeForJob(int16_t configured, bool biLevel) {
  if (!biLevel || configured == 0 || configured == kDefaultMode) return configured;
  return kDefaultMode;
}
