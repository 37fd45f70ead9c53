#pragma once
// Expected pieces of the label command stream, written out the way the printer reads them.

#include <string>

// The 13 setup lines that open every label block, CLS last.
inline std::string SetupLines(int width, int height, int speed, int density) {
  return "SIZE " + std::to_string(width) + "mm," + std::to_string(height) +
         "mm\r\nGAP 0.120,0.000\r\nSPEED " + std::to_string(speed) + "\r\nDENSITY " +
         std::to_string(density) +
         "\r\nDIRECTION 0,0\r\nREFERENCE 0,0\r\nOFFSET 0.000\r\nSHIFT 0\r\nSET PEEL OFF\r\n"
         "SET CUTTER OFF\r\nSET PARTIAL_CUTTER OFF\r\nSET TEAR ON\r\nCLS\r\n";
}
