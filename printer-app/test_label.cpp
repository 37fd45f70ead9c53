#include "printer-app/test_label.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

// Code 128's 107 symbols as the widths of their bars and spaces, bar first, each
// eleven modules (the stop symbol thirteen, with its final bar).
constexpr std::array<const char *, 107> kCode128 = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131", "211412", "211214", "211232", "2331112"};
constexpr int kStartB = 104, kStop = 106;

// Letters five dots wide and seven high, a row a byte (the top bit of five on the left).
struct glyph_t {
  char c;
  std::array<uint8_t, 7> rows;
};
constexpr glyph_t kGlyphs[] = {
    {' ', {0, 0, 0, 0, 0, 0, 0}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'A', {0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'-', {0, 0, 0, 0x1F, 0, 0, 0}},                   {'.', {0, 0, 0, 0, 0, 0x0C, 0x0C}},
    {':', {0, 0x0C, 0x0C, 0, 0x0C, 0x0C, 0}},          {'/', {0, 0x01, 0x02, 0x04, 0x08, 0x10, 0}},
    {'_', {0, 0, 0, 0, 0, 0, 0x1F}},                   {',', {0, 0, 0, 0, 0x0C, 0x04, 0x08}},
    {'(', {0x02, 0x04, 0x08, 0x08, 0x08, 0x04, 0x02}}, {')', {0x08, 0x04, 0x02, 0x02, 0x02, 0x04, 0x08}},
};
constexpr std::array<uint8_t, 7> kUnknownGlyph = {0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04};  // "?"

const std::array<uint8_t, 7> &Glyph(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const glyph_t &glyph : kGlyphs)
    if (glyph.c == c) return glyph.rows;
  return kUnknownGlyph;
}

// A gray picture, white to start with; drawing outside it draws nothing.
struct canvas_t {
  int width, height;
  std::vector<uint8_t> pixels;
  canvas_t(int w, int h) : width(w), height(h), pixels(static_cast<size_t>(w) * h, 255) {}
  void Fill(int x, int y, int w, int h) {
    const int x0 = std::max(x, 0), x1 = std::min(x + w, width);
    for (int row = std::max(y, 0); row < std::min(y + h, height); ++row)
      if (x0 < x1) std::fill_n(&pixels[static_cast<size_t>(row) * width + x0], x1 - x0, 0);
  }
};

// Draws `text` with its top left corner at x, y, each font dot `scale` dots square.
void DrawText(canvas_t &canvas, int x, int y, int scale, std::string_view text) {
  for (char c : text) {
    const std::array<uint8_t, 7> &rows = Glyph(c);
    for (int row = 0; row < 7; ++row)
      for (int column = 0; column < 5; ++column)
        if (rows[row] & (0x10 >> column)) canvas.Fill(x + column * scale, y + row * scale, scale, scale);
    x += 6 * scale;
  }
}

std::string Millimetres(int hundredths) {
  char text[32];
  snprintf(text, sizeof text, "%d.%d", hundredths / 100, hundredths % 100 / 10);
  return text;
}

void WritePngBytes(png_structp png, png_bytep data, png_size_t length) {
  static_cast<std::string *>(png_get_io_ptr(png))->append(reinterpret_cast<const char *>(data), length);
}

// The picture as an 8-bit gray PNG that says it is `dpi` dots per inch.
std::string EncodeGrayPng(const canvas_t &canvas, int dpi) {
  std::string bytes;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return "";
  }
  png_set_write_fn(png, &bytes, WritePngBytes, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(canvas.width), static_cast<png_uint_32>(canvas.height), 8,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  const auto perMetre = static_cast<png_uint_32>(dpi / 0.0254 + 0.5);
  png_set_pHYs(png, info, perMetre, perMetre, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (int y = 0; y < canvas.height; ++y)
    png_write_row(png, &canvas.pixels[static_cast<size_t>(y) * canvas.width]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return bytes;
}

}  // namespace

std::vector<bool> Code128Modules(std::string_view text) {
  std::vector<int> symbols{kStartB};
  for (char c : text)
    if (c >= 32 && c <= 126) symbols.push_back(c - 32);
  int check = kStartB;
  for (size_t i = 1; i < symbols.size(); ++i) check += static_cast<int>(i) * symbols[i];
  symbols.push_back(check % 103);
  symbols.push_back(kStop);
  std::vector<bool> modules;
  for (int symbol : symbols) {
    bool bar = true;
    for (const char *width = kCode128[symbol]; *width; ++width, bar = !bar) modules.insert(modules.end(), *width - '0', bar);
  }
  return modules;
}

std::vector<std::string> TestLabelLines(const test_label_t &label) {
  return {"TEST LABEL",
          label.name,
          std::to_string(label.dpi) + " DPI",
          "DARKNESS " + std::to_string(label.darkness) + " SPEED " + std::to_string(label.speed),
          Millimetres(label.width) + " X " + Millimetres(label.length) + " MM " + label.tracking};
}

std::string TestLabelPng(const test_label_t &label) {
  const int width = static_cast<int>((static_cast<int64_t>(label.width) * label.dpi + 1270) / 2540);
  const int height = static_cast<int>((static_cast<int64_t>(label.length) * label.dpi + 1270) / 2540);
  if (width <= 0 || height <= 0 || label.dpi <= 0) return "";
  canvas_t canvas(width, height);
  // Letters as large as let a line of 24 of them and all the lines with an eighth of an
  // inch of code below fit; a frame a font dot wide just inside the edges shows where the
  // label sits.
  const int margin = label.dpi / 16;
  const int scale = std::max(1, std::min((width - 2 * margin) / (24 * 6), (height - 2 * margin - label.dpi / 8) / 45));
  const int inset = margin / 2;
  canvas.Fill(inset, inset, width - 2 * inset, scale);
  canvas.Fill(inset, height - inset - scale, width - 2 * inset, scale);
  canvas.Fill(inset, inset, scale, height - 2 * inset);
  canvas.Fill(width - inset - scale, inset, scale, height - 2 * inset);

  // As many lines as leave room for the code, at least an eighth of an inch high, below
  // them; the code takes what is left, up to half an inch. A code that can't be read
  // (less than a dot a module) is left out.
  const std::vector<bool> modules = Code128Modules(label.name.empty() ? "VANTEL" : label.name);
  const int left = margin + scale, room = width - 2 * left, bottom = height - margin - scale;
  const int module = std::min(3, room / (static_cast<int>(modules.size()) + 20));  // quiet zones
  const int minBar = module >= 1 ? label.dpi / 8 + scale : 0, lineHeight = 9 * scale;
  int y = margin + scale;
  for (const std::string &line : TestLabelLines(label)) {
    if (y + 7 * scale > bottom - minBar) break;
    DrawText(canvas, left, y, scale, line);
    y += lineHeight;
  }
  const int barHeight = std::min(label.dpi / 2, bottom - y - scale);
  if (module >= 1 && barHeight >= label.dpi / 8) {
    const int x0 = left + (room - module * static_cast<int>(modules.size())) / 2;
    for (size_t i = 0; i < modules.size(); ++i)
      if (modules[i]) canvas.Fill(x0 + static_cast<int>(i) * module, y, module, barHeight);
  }
  return EncodeGrayPng(canvas, label.dpi);
}
