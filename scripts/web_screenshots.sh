#!/usr/bin/env bash
# Screenshots of the printer application's web interface for docs/web-interface.md:
# runs the browser test (tests/e2e/web_interface_test.sh) against a fresh server and
# keeps the pictures of the printer's pages and its settings in docs/images/.
#
#   scripts/web_screenshots.sh [BUILD_DIR] [PORT]     (defaults: build, 8711)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build} port=${2:-8711}
shots=$(mktemp -d /tmp/vantel-web-shots.XXXXXX)
trap 'rm -rf "$shots"' EXIT
tests/e2e/web_interface_test.sh "$build/printer-app/vantel-printer-app" "$port" "$PWD/$build/node" "$shots"
mkdir -p docs/images
for page in home printer printing printing-saved media; do
  cp "$shots/$page.png" "docs/images/web-$page.png"
done
echo "Written: docs/images/web-{home,printer,printing,printing-saved,media}.png"
