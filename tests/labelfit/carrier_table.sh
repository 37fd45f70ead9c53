#!/usr/bin/env bash
# The whole carrier corpus, every layout at 203 and 300 dpi, through a private CUPS
# scheduler and through the printer application, LabelFit on and off: the table of
# docs/carrier-labels.md. As root, from a built tree; takes about a quarter of an hour.
#
#   tests/labelfit/carrier_table.sh [BUILD_DIR [TABLE_FILE [PICTURES_DIR]]]
#
# Ports 18800 (cupsd) and 8800 (the app) on 127.0.0.1, under the suite's lock.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$(readlink -f "${1:-build}")
table=${2:-$build/carrier-table.md}
log=$(sed -n 's/^VANTEL_LOG_PATH:STRING=//p' "$build/CMakeCache.txt")
exec flock /tmp/vantel-e2e.lock tests/support/private_log.sh "${log:-/var/log/cups/korvel.log}" \
  env LAYOUTS=all APP="$build/printer-app/vantel-printer-app" APP_PORT=8800 TABLE="$table" \
  PICTURES="${3:-}" tests/labelfit/carrier_queue_test.sh "$build/filter/rastertovantel" \
  "$build/prefilter/pdftolabel" "$build/tools/label-preview" 18800 \
  "$build/tests/labelfit/pdf417_read"
