#pragma once
// Lets tests compare whole job settings records with EXPECT_EQ and read a mismatch by
// field name.

#include <ostream>

#include "core/label_doc.h"

inline bool operator==(const label_doc_t &a, const label_doc_t &b) {
  return a.speed == b.speed && a.darkness == b.darkness && a.mediaTracking == b.mediaTracking &&
         a.labelWidth == b.labelWidth && a.labelHeight == b.labelHeight &&
         a.referenceX == b.referenceX && a.referenceY == b.referenceY &&
         a.horizontal == b.horizontal && a.vertical == b.vertical && a.mode == b.mode &&
         a.gapHeight == b.gapHeight && a.gapOffset == b.gapOffset &&
         a.labelMode == b.labelMode && a.cutInterval == b.cutInterval &&
         a.tearOffset == b.tearOffset && a.shift == b.shift && a.direction == b.direction;
}

inline void PrintTo(const label_doc_t &doc, std::ostream *out) {
  *out << "{speed " << doc.speed << ", darkness " << doc.darkness << ", mediaTracking "
       << doc.mediaTracking << ", size " << doc.labelWidth << "x" << doc.labelHeight
       << ", reference " << doc.referenceX << "," << doc.referenceY << ", origin "
       << doc.horizontal << "," << doc.vertical << ", mode " << doc.mode << ", gap " << doc.gapHeight << "," << doc.gapOffset
       << ", label mode " << doc.labelMode << " every " << doc.cutInterval << ", tear offset "
       << doc.tearOffset << ", shift " << doc.shift << ", direction " << doc.direction << "}";
}
