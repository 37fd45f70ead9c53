#!/usr/bin/env bash
# The printer application's web interface in headless Chromium: every page loads and
# every settings form works, the server alive after each (web_interface_test.mjs).
#
#   web_interface_test.sh APP PORT NODE_PREFIX [SCREENSHOT_DIR]
#
# NODE_PREFIX is the folder playwright-core is installed in (with npm, when missing).
# Exits 77 (skipped) without chromium, node or ipptool, or when playwright-core cannot be
# installed. Leaves nothing running.
set -euo pipefail

app=$(readlink -f "$1")
port=$2 prefix=$3 shots=${4:-}
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
for tool in chromium node npm ipptool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
# npm's own cache first: without a network (a test in a private network namespace) npm
# would otherwise wait over a minute for the registry before it looks there.
if [ ! -f "$prefix/node_modules/playwright-core/package.json" ]; then
  mkdir -p "$prefix"
  npm install --prefer-offline --silent --no-audit --no-fund --prefix "$prefix" playwright-core@1 >/dev/null 2>&1 ||
    { echo "SKIP: playwright-core could not be installed"; exit 77; }
fi

source "$source_dir/scripts/private_app.sh"
work=$(mktemp -d /tmp/vantel-web-test.XXXXXX)
trap 'app_stop; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
app_start "$app" "$work/app" "$port" -o server-options=no-tls,web-network,web-security,web-log
app_add_printer lab vantel_203dpi

PLAYWRIGHT_PREFIX=$prefix node "$source_dir/tests/e2e/web_interface_test.mjs" \
  "http://127.0.0.1:$port" lab "ipp://127.0.0.1:$port/ipp/print/lab" "$shots"
kill -0 "$APP_PID" || { echo "FAIL: the server is gone"; cat "$work/app/server.out"; exit 1; }

# The test label the browser asked for: one label, drawn by the printer's preview, whose
# code a scanner reads as the printer's name (LABEL_PREVIEW is the preview program).
if [ -n "${LABEL_PREVIEW:-}" ] && command -v zbarimg >/dev/null; then
  label=
  for ((i = 0; i < 100; i++)); do
    for file in "$work"/app/out/*Test?Page*.prn; do
      [ -f "$file" ] && grep -q "PRINT 1,1" "$file" && label=$file
    done
    [ -n "$label" ] && break
    sleep 0.1
  done
  [ -n "$label" ] || { echo "FAIL: the test label did not print"; exit 1; }
  "$LABEL_PREVIEW" -o "$work/test-label" "$label"
  [ -z "$shots" ] || cp "$work/test-label-1.png" "$shots/test-label.png"
  code=$(zbarimg -q "$work/test-label-1.png" 2>/dev/null) || true
  [ "$code" = "CODE-128:lab" ] || { echo "FAIL: the test label's code reads \"$code\", not CODE-128:lab"; exit 1; }
  echo "ok: the test label printed and its code reads $code"
fi
