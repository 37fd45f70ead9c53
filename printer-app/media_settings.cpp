#include "printer-app/media_settings.h"

#include <algorithm>
#include <cstring>

int16_t TrackingSetting(unsigned tracking) {
  if (tracking == kIppTrackingMark) return kTrackingMark;
  if (tracking == kIppTrackingContinuous) return kTrackingContinuous;
  return kTrackingGap;
}

int16_t LabelModeSetting(unsigned mode) {
  switch (mode) {
    case kIppModePeelOff: return kPeelOff;
    case kIppModeCutter: return kCutter;
    case kIppModeCutterDelayed: return kCutterDelayed;
    default: return kTearOff;
  }
}

int16_t VendorSetting(const vendor_range_t &range, long value) {
  return static_cast<int16_t>(std::clamp<long>(value, range.low, range.high));
}

int16_t DirectionForKeyword(const char *keyword) {
  for (const print_direction_keyword_t &direction : kPrintDirections) {
    if (keyword && strcmp(keyword, direction.keyword) == 0) return direction.direction;
  }
  return kDirectionNormal;
}

int16_t TearOffsetSetting(int hundredths) {
  return static_cast<int16_t>(std::clamp(hundredths, -kMaxTearOffset, kMaxTearOffset));
}
