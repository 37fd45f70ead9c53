#!/usr/bin/env bash
# Writes the driver's PPD files, one per print-head resolution, into ppd/ (or the folder
# given). The PPDs are kept in the repository; run this after changing anything below and
# commit both results. tests/e2e/ppd_test.sh checks that they are up to date.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-ppd}
mkdir -p "$out"

# The stock label sizes, in the filter's order: w<width>h<height> in points.
sizes=(
  w283h283 w283h340 w283h425 w283h481 w283h510 w283h566 w283h708 w90h18 w90h162 w108h18
  w108h36 w108h72 w108h144 w144h26 w144h36 w144h72 w144h90 w144h288 w144h396 w162h36
  w162h90 w162h288 w162h396 w171h396 w180h72 w180h144 w198h90 w216h72 w216h90 w216h144
  w216h216 w216h360 w234h144 w234h360 w234h396 w234h419 w234h563 w252h72 w288h72 w288h144
  w288h180 w288h216 w288h288 w288h360 w288h432 w288h468 w288h936
)

# The lines for one resolution in dots per inch; everything else is the same in both files.
write_ppd() {
  local dpi=$1
  printf '%s\n' "${sizes[@]}" | LC_ALL=C awk -v dpi="$dpi" '
    function inches(pt,   s) {   # 288 -> "4", 90 -> "1.25", 283 -> "3.93"
      s = sprintf("%.2f", pt / 72); sub(/0+$/, "", s); sub(/\.$/, "", s); return s
    }
    function mm(pt) { return int(pt * 25.4 / 72 + 0.5) }
    function option(name, text, order, def) {
      printf "\n*OpenUI *%s/%s: PickOne\n*OrderDependency: %d AnySetup *%s\n*Default%s: %s\n",
             name, text, order, name, name, def
    }
    function close_ui(name) { printf "*CloseUI: *%s\n", name }
    { match($0, /h/); w[NR] = substr($0, 2, RSTART - 2); h[NR] = substr($0, RSTART + 1); n = NR }
    END {
      print "*PPD-Adobe: \"4.3\""
      print "*% rastertovantel: 4-inch thermal label printers with a " dpi " dpi print head."
      print "*% Written by scripts/make_ppd.sh; change the script, not this file."
      print "*FormatVersion: \"4.3\""
      print "*FileVersion: \"1.0\""
      print "*LanguageVersion: English"
      print "*LanguageEncoding: ISOLatin1"
      print "*PCFileName: \"VANTL" dpi ".PPD\""
      print "*Manufacturer: \"Vantel\""
      print "*Product: \"(Vantel Label Printer)\""
      print "*ModelName: \"Vantel Label Printer " dpi "dpi\""
      print "*ShortNickName: \"Vantel Label " dpi "dpi\""
      print "*NickName: \"Vantel Label Printer " dpi "dpi, rastertovantel\""
      print "*PSVersion: \"(3010.000) 0\""
      print "*LanguageLevel: \"3\""
      print "*ColorDevice: False"
      print "*DefaultColorSpace: Gray"
      print "*FileSystem: False"
      print "*Throughput: \"1\""
      print "*LandscapeOrientation: Plus90"
      print "*TTRasterizer: Type42"
      print "*cupsVersion: 2.2"
      print "*cupsModelNumber: " dpi
      print "*cupsManualCopies: False"
      print "*cupsFilter: \"application/vnd.cups-raster 0 rastertovantel\""
      # A PDF job goes through pdftolabel before pdftopdf: it finds the labels on pages
      # larger than the label (LabelFit below).
      print "*cupsPreFilter: \"application/pdf 0 pdftolabel\""
      print "*HWMargins: 0 0 0 0"

      # Custom sizes are given in points. Below 32 points (11.3 mm) the filter would raise
      # the label size above the page; 288 points is the 4-inch head, 2880 points 40 inches.
      print ""
      print "*MaxMediaWidth: \"288\""
      print "*MaxMediaHeight: \"2880\""
      print "*CustomPageSize True: \"pop pop pop <</PageSize[5 -2 roll]/ImagingBBox null>>setpagedevice\""
      print "*ParamCustomPageSize Width: 1 points 32 288"
      print "*ParamCustomPageSize Height: 2 points 32 2880"
      print "*ParamCustomPageSize WidthOffset: 3 points 0 0"
      print "*ParamCustomPageSize HeightOffset: 4 points 0 0"
      print "*ParamCustomPageSize Orientation: 5 int 0 0"

      split("PageSize PageRegion", kinds, " ")
      for (k = 1; k <= 2; k++) {
        option(kinds[k], "Label Size", 10, "w288h144")
        for (i = 1; i <= n; i++)
          printf "*%s w%dh%d/%s x %s in (%d x %d mm): \"<</PageSize[%d %d]/ImagingBBox null>>setpagedevice\"\n",
                 kinds[k], w[i], h[i], inches(w[i]), inches(h[i]), mm(w[i]), mm(h[i]), w[i], h[i]
        close_ui(kinds[k])
      }
      print "*DefaultImageableArea: w288h144"
      for (i = 1; i <= n; i++)
        printf "*ImageableArea w%dh%d/%s x %s in (%d x %d mm): \"0 0 %d %d\"\n",
               w[i], h[i], inches(w[i]), inches(h[i]), mm(w[i]), mm(h[i]), w[i], h[i]
      print "*DefaultPaperDimension: w288h144"
      for (i = 1; i <= n; i++)
        printf "*PaperDimension w%dh%d/%s x %s in (%d x %d mm): \"%d %d\"\n",
               w[i], h[i], inches(w[i]), inches(h[i]), mm(w[i]), mm(h[i]), w[i], h[i]

      # The raster the filter reads: 8-bit gray at the head resolution, 0 black, 255 white.
      option("Resolution", "Resolution", 10, dpi "dpi")
      printf "*Resolution %ddpi/%d dpi: \"<</HWResolution[%d %d]>>setpagedevice\"\n", dpi, dpi, dpi, dpi
      close_ui("Resolution")
      option("ColorModel", "Color Mode", 10, "Gray")
      print "*ColorModel Gray/Grayscale: \"<</cupsColorOrder 0/cupsColorSpace 0/cupsBitsPerColor 8/cupsCompression 0>>setpagedevice\""
      close_ui("ColorModel")

      # What the filter reads; the choice names are the values it is given.
      option("Darkness", "Darkness", 20, 7)
      for (d = 0; d <= 15; d++)
        printf "*Darkness %d/%s: \"\"\n", d, d == 0 ? "0 (lightest)" : d == 15 ? "15 (darkest)" : d
      close_ui("Darkness")
      option("PrintSpeed", "Print Speed", 20, 40)
      for (s = 2; s <= 6; s++) printf "*PrintSpeed %d/%d in/s: \"\"\n", s * 10, s
      close_ui("PrintSpeed")
      option("PrintMode", "Print Mode", 20, 5)
      print "*PrintMode 5/Bold text and barcodes (threshold): \"\""
      print "*PrintMode 0/Sharp text and barcodes (threshold): \"\""
      print "*PrintMode 2/Photos (fine dither 8x8): \"\""
      print "*PrintMode 3/Photos, coarse dots (clustered 8x8): \"\""
      print "*PrintMode 4/Smooth gradients (fine dither 16x16): \"\""
      close_ui("PrintMode")

      # Where the page bitmap starts on the label, in dots; offered in whole millimetres.
      split("Horizontal Vertical", axes, " ")
      split("Horizontal Offset|Vertical Offset", axis_text, "|")
      for (a = 1; a <= 2; a++) {
        option(axes[a], axis_text[a], 20, 0)
        for (m = 0; m <= 10; m++) {
          dots = int(m * dpi / 25.4 + 0.5)
          printf "*%s %d/%s: \"\"\n", axes[a], dots, m == 0 ? "0 mm" : sprintf("+%d mm (%d dots)", m, dots)
        }
        close_ui(axes[a])
      }

      # What pdftolabel does with a carrier page, such as a Letter page with a 4 x 6 in
      # label in one corner: print each label on it at full size on a label of its own,
      # or the whole page as CUPS scales it to the label (pdftopdf of cups-filters 1.28
      # fills the label with it and cuts off what runs over).
      option("LabelFit", "Carrier Pages", 20, "On")
      print "*LabelFit On/Find the label on the page: \"\""
      print "*LabelFit Off/Whole page, scaled to the label: \"\""
      close_ui("LabelFit")

      # The filter reads a media tracking value but no command carries it to the printer,
      # so it is no option: this line only fixes the value the filter logs.
      print ""
      print "*DefaultMediaTracking: 0"
      print ""
      print "*% End of the rastertovantel PPD."
    }'
}

for dpi in 203 300; do
  write_ppd "$dpi" >"$out/vantel-$dpi.ppd"
done
