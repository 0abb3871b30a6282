#!/usr/bin/env bash
# The desktop entry and the AppStream metainfo pass their validators, and the entry, the
# icon and the metainfo carry one application id.
# Usage: metadata-test.sh PACKAGING-FOLDER APPLICATION-ID
set -uo pipefail
folder=$1 id=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

desktop=$folder/$id.desktop
metainfo=$folder/$id.metainfo.xml
[[ -f $folder/$id.svg ]] || fail "no icon $id.svg"
report=$(desktop-file-validate "$desktop" 2>&1)
[[ $? -eq 0 && -z $report ]] || fail "desktop-file-validate: $report"
report=$(appstreamcli validate --no-net --explain "$metainfo" 2>&1) ||
    fail "appstreamcli validate: $report"

grep -qx "Icon=$id" "$desktop" || fail "the desktop entry's icon is not $id"
grep -qx "Exec=vantix %f" "$desktop" || fail "the desktop entry does not pass a file"
# A .s file is also assembler source: the program must not claim the type.
grep -q '^MimeType=' "$desktop" && fail "the desktop entry registers a MIME type"
grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo's id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $id.desktop"
for part in '<screenshot type="default">' '<description>' '<release version='; do
    grep -q "$part" "$metainfo" || fail "the metainfo lacks $part"
done

[[ $failures -eq 0 ]] && echo "metadata: all checks passed"
exit $((failures > 0))
