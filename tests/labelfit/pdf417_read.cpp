// Reads the PDF417 symbols of PNG pictures with ZXing and prints each as "PDF417:data", as
// zbarimg prints what it reads: zbarimg and dmtxread read no PDF417. Exits 4 when it
// found none, as zbarimg does, and 2 when a picture can't be read.
//
//   pdf417_read PICTURE.png...

#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>
#include <png.h>

#include <cstdio>
#include <vector>

int main(int argc, char *argv[]) {
  int found = 0;
  for (int i = 1; i < argc; ++i) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<uint8_t> pixels;
    if (png_image_begin_read_from_file(&image, argv[i])) {
      image.format = PNG_FORMAT_GRAY;
      pixels.resize(PNG_IMAGE_SIZE(image));
      if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) pixels.clear();
    }
    if (pixels.empty()) {
      fprintf(stderr, "%s: %s\n", argv[i], image.message);
      return 2;
    }
    const ZXing::ImageView view(pixels.data(), int(image.width), int(image.height),
                                ZXing::ImageFormat::Lum);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::PDF417);
    for (const ZXing::Result &result : ZXing::ReadBarcodes(view, hints)) {
      if (!result.isValid()) continue;
      printf("PDF417:%s\n", result.text().c_str());
      ++found;
    }
  }
  return found ? 0 : 4;
}
