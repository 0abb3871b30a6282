#!/usr/bin/env bash
# Makes docs/report.png: the yield report of a simulated line of 3 pods and 30 boards (the
# first board of each pod stopped with Ctrl+C after a second and programmed again), rendered
# by headless Chromium.
# Usage: scripts/report-screenshot.sh [BUILD] [OUT.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=${2:-$root/docs/report.png}
cli=$build/cli/vantix-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The simulated line, as docs/yield-report.md shows it.
echo 1000 > serial.txt
line=(--sim-pods 3 --sim-state line.state --log line.jsonl)
image=(write-verify "$root/examples/dsp56f807.s" --cpu 807 --serial-at PFLASH:7FF0
       --serial-counter serial.txt -q)
for pod in VSIM0001 VSIM0002 VSIM0003; do
  timeout -s INT 1 "$cli" "${line[@]}" --pod $pod --sim-realtime --board-id $pod-B01 \
    "${image[@]}" || true
  seq -f "$pod-B%02g" 2 10 | "$cli" "${line[@]}" --pod $pod --board-id $pod-B01 "${image[@]}" --repeat
done
"$cli" report --log line.jsonl --html line.html

chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --hide-scrollbars --user-data-dir="$work/profile" --window-size=1280,1800 \
  --screenshot="$out" "file://$work/line.html" 2>/dev/null
echo "wrote $out"
