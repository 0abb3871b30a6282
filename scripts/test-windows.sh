#!/usr/bin/env bash
# Runs vantix-cli.exe under Wine and holds it against the Linux build of the same sources.
# Usage: scripts/test-windows.sh LINUX_BUILD WINDOWS_BUILD
# Needs LINUX_BUILD/cli/vantix-cli, WINDOWS_BUILD/cli/vantix-cli.exe and the stand-in
# libraries WINDOWS_BUILD/tests/windows/{complete,partial}/Ftd2xx.dll (make test-windows).
#
# Console output of a Windows program ends its lines in CRLF (text mode); that is the one
# thing normalised before comparing. Files the program writes (trace, simulation state) are
# compared as they are, byte for byte.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
linux_cli=$(realpath "$1/cli/vantix-cli")
windows_build=$(realpath "$2")
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
# No Mono or Gecko: a console program needs neither, and their installers would ask.
export WINEPREFIX="$windows_build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Every file the runs touch lives under a folder whose name has blanks and non-ASCII letters.
work="$windows_build/wine test/Prüfstand Ω"
rm -rf "$windows_build/wine test"
mkdir -p "$work/bin" "$work/linux" "$work/windows"
cp "$windows_build/cli/vantix-cli.exe" "$work/bin/"
exe="$work/bin/vantix-cli.exe"

if [[ ! -d "$WINEPREFIX" ]]; then
  echo "Creating the Wine prefix (the first start takes a while)..."
  "$wine" wineboot -i >/dev/null 2>&1
fi

passed=0
failed=0
check() {
  local name=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok    $name"
  else
    failed=$((failed + 1))
    echo "FAIL  $name"
  fi
}

# run SYSTEM ARGS...: runs one build in $work, sets status, out and err (CR removed).
run() {
  local system=$1
  shift
  if [[ $system == windows ]]; then
    (cd "$work" && "$wine" "$exe" "$@") >"$work/out" 2>"$work/err"
  else
    (cd "$work" && "$linux_cli" "$@") >"$work/out" 2>"$work/err"
  fi
  status=$?
  out=$(tr -d '\r' <"$work/out")
  err=$(tr -d '\r' <"$work/err")
}

# same ARGS...: both builds give the same status, stdout and stderr.
same() {
  run linux "$@"
  local linux_status=$status linux_out=$out linux_err=$err
  run windows "$@"
  [[ $status == "$linux_status" && $out == "$linux_out" && $err == "$linux_err" ]] ||
    { echo "  linux $linux_status, windows $status: $err" >&2; return 1; }
}

# status_is CODE SYSTEM ARGS...
status_is() {
  local want=$1
  shift
  run "$@"
  [[ $status == "$want" ]] || { echo "  exit $status, wanted $want: $err" >&2; return 1; }
}

contains() { [[ $1 == *"$2"* ]] || { echo "  no \"$2\" in: $1" >&2; return 1; }; }

# --- Help and the example files --------------------------------------------------------------
check "--help as on Linux" same --help
check "write-verify --help as on Linux" same write-verify --help
for file in "$root"/examples/*.s; do
  name=$(basename "$file" .s)
  check "info --json $name.s as on Linux" same info "$file" --cpu "${name#dsp56f}" --json
done

# --- Paths with blanks and non-ASCII letters, CRLF line ends ---------------------------------
sed 's/$/\r/' "$root/examples/dsp56f805.s" >"$work/Firmware été.s"
printf '# line 3\r\ncpu = "DSP56F805"\r\n\r\n[info]\r\njson = true\r\n' >"$work/Station ü.ini"
check "info of a CRLF file by relative non-ASCII path" same info "Firmware été.s" --cpu 805
check "info of a CRLF file by absolute path" same info "$work/Firmware été.s" --cpu 805
check "CRLF job file with a non-ASCII name" same --config "Station ü.ini" info "Firmware été.s"
check "the command line beats the job file" same --config "Station ü.ini" info "Firmware été.s" \
  --cpu 807
# TOML job files: toml++ as headers alone on Windows, its library on Linux.
printf '\xef\xbb\xbfcpu = 805 # a comment\r\ntrace = "wire\\\\log ü.txt"\r\n[info]\r\njson = true\r\n' \
  >"$work/Station ü.toml"
printf 'pod = VSIM0001 VSIM0002\n' >"$work/Unquoted.toml"
check "TOML job file read as on Linux" same --config "Station ü.toml" -v info "Firmware été.s"
check "two job files, the later overriding" same --config "Station ü.toml" \
  --config "Station ü.ini" -v info "Firmware été.s"
check "text that is not TOML refused as on Linux" same --config Unquoted.toml info "Firmware été.s"

# --- The simulated pod: write-verify, then verify in a later run sharing the state --------------
f807="$root/examples/dsp56f807.s"
for system in linux windows; do
  check "$system: write-verify through the simulated pod" status_is 0 "$system" \
    --sim-state "$system/pod state.bin" --trace "$system/wire trace.log" write-verify "$f807" --cpu 807
  check "$system: verify in a later run" status_is 0 "$system" \
    --sim-state "$system/pod state.bin" verify "$f807" --cpu 807
  check "$system: verify reports success" contains "$err" "Flash Verifying is OK !!!"
done
check "trace identical to the Linux build's, byte for byte" \
  cmp "$work/linux/wire trace.log" "$work/windows/wire trace.log"
check "simulation state identical to the Linux build's" \
  cmp "$work/linux/pod state.bin" "$work/windows/pod state.bin"

# --- The yield report from a log ---------------------------------------------------------------
# A log of two boards and a line cut short; the CSV file the same byte for byte, the page with
# the build's own copy of Chart.js inside.
check "linux: a log of two boards" status_is 0 linux --simulate --log "line é.jsonl" \
  --board-id "B1" write-verify "$f807" --cpu 807
check "linux: and a second" status_is 0 linux --simulate --log "line é.jsonl" \
  --board-id "B2" write-verify "$f807" --cpu 807
printf '{"time":"2026-12-07T09:02:00Z","comm' >>"$work/line é.jsonl"
check "report from the log as on Linux" same report --log "line é.jsonl" --csv "linux/boards.csv"
mv "$work/linux/boards.csv" "$work/linux/boards linux.csv"
check "  naming the line it could not read" contains "$err" "line é.jsonl:3: cut short"
check "windows: report with a page" status_is 0 windows report --log "line é.jsonl" \
  --csv "windows/boards.csv" --html "windows/yield é.html"
check "  the CSV file identical to the Linux build's" \
  cmp "$work/linux/boards linux.csv" "$work/windows/boards.csv"
check "  the page holds Chart.js" grep -q "Chart.js v3" "$work/windows/yield é.html"

# --- Exit statuses ---------------------------------------------------------------------------
check "exit 0: reset" status_is 0 windows --simulate reset
check "exit 1: verify against a blank board" status_is 1 windows --simulate verify "$f807" --cpu 807
check "exit 2: unknown command" status_is 2 windows frobnicate
check "exit 2: unknown option, in the Linux build's words" same write "$f807" --cpu 807 --force
check "exit 3: no Ftd2xx.dll" status_is 3 windows reset
check "exit 3 says why" contains "$err" "Fail to load FTD2XX.DLL file"
check "exit 2: no station database in this build" \
  status_is 2 windows --simulate --station-db "host=db1 dbname=line" reset
check "exit 2 says why" contains "$err" "--station-db is not available in this build"

# Ctrl+C: Wine turns SIGINT into the console's Ctrl+C event.
interrupted() {
  (cd "$work" && exec "$wine" "$exe" --sim-realtime write "$f807" --cpu 807) 2>"$work/err" &
  local pid=$! waited=0
  until grep -q "DFLASH Writing" "$work/err" 2>/dev/null || ((waited++ > 300)); do sleep 0.1; done
  kill -INT "$pid"
  wait "$pid"
  status=$?
  err=$(tr -d '\r' <"$work/err")
  [[ $status == 130 ]] && contains "$err" "vantix-cli: interrupted; the pod is closed" ||
    { echo "  exit $status: $err" >&2; return 1; }
}
check "exit 130: Ctrl+C during a write closes the pod" interrupted

# --- The vendor library, loaded at run time from beside the program --------------------------
cp "$windows_build/tests/windows/complete/Ftd2xx.dll" "$work/bin/"
check "Ftd2xx.dll found: the pod is listed" status_is 0 windows list
check "  as USB POD" contains "$out" "USB POD"
check "write-verify through Ftd2xx.dll" status_is 0 windows \
  --trace "windows/vendor trace.log" write-verify "$f807" --cpu 807
check "  succeeds" contains "$err" "Flash Writing && Verifying is OK !!!"
check "  with the same bytes on the wire" \
  cmp "$work/linux/wire trace.log" "$work/windows/vendor trace.log"
cp "$windows_build/tests/windows/partial/Ftd2xx.dll" "$work/bin/"
check "Ftd2xx.dll lacking an entry point is refused" status_is 3 windows reset
check "  naming the entry point" contains "$err" "lacks the entry point(s) FT_GetQueueStatus"

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
