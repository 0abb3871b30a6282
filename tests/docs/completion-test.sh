#!/usr/bin/env bash
# Runs the generated bash completions on partial command lines, as a bash with
# bash-completion and the completion files loaded does when Tab is pressed at the end; then
# fish's, through fish itself.
# Usage: completion-test.sh DOC-FOLDER VANTIX-CLI [with-window]
set -o pipefail
docs=$(cd "$1" && pwd) cli=$2 window=${3:-}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

source /usr/share/bash-completion/bash_completion || exit 1
# compopt works only while bash itself runs a completion; its display hints do not matter here.
compopt() { :; }
source "$docs/vantix-cli.bash"
[[ -n $window ]] && source "$docs/vantix.bash"
# The completion lists the pods through vantix-cli, as the installed one would be found.
PATH="$(cd "$(dirname "$cli")" && pwd):$PATH"
scratch=$(mktemp -d) || exit 1
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" && mkdir folder && touch a.s b.S c.txt folder/d.s || exit 1

# The function's answer for a line with the cursor at its end, sorted, on one line.
complete_line() {
    local function=$1 line=$2
    COMP_LINE=$line
    COMP_POINT=${#line}
    read -ra COMP_WORDS <<<"$line"
    [[ $line == *' ' ]] && COMP_WORDS+=('')
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' '
}

expect() {
    local got
    got=$(complete_line "$1" "$2")
    [[ $got == "$3" ]] || fail "'$2': got '$got', want '$3'"
}

expect _vantix_cli "vantix-cli wri" "write write-verify"
expect _vantix_cli "vantix-cli help pod-" "pod-info pod-verify pod-write"
expect _vantix_cli "vantix-cli write-verify x.s --re" "--regions --repeat --reset-after"
expect _vantix_cli "vantix-cli dump x.s --re" "--region"
expect _vantix_cli "vantix-cli info x.s --cpu 80" "801 803 805 807"
expect _vantix_cli "vantix-cli dump x.s --region P" "P2FLASH PFLASH"
expect _vantix_cli "vantix-cli write x.s --regions PFLASH,B" "PFLASH,BFLASH"
expect _vantix_cli "vantix-cli --sim-pods 2 --pod " "VSIM0001 VSIM0002"
expect _vantix_cli "vantix-cli --simulate verify --pod=V" "VSIM0001"
expect _vantix_cli "vantix-cli --cpu 807 info " "a.s b.S folder"
# Names in any letter case, as the program takes them; --pods all; station-db's actions.
expect _vantix_cli "vantix-cli write x.s --regions pf" "PFLASH"
expect _vantix_cli "vantix-cli write x.s --regions dflash,b" "dflash,BFLASH"
expect _vantix_cli "vantix-cli dump x.s --region p2" "P2FLASH"
expect _vantix_cli "vantix-cli info x.s --cpu d" "DSP56F801 DSP56F803 DSP56F805 DSP56F807"
expect _vantix_cli "vantix-cli info x.s --cpu dsp56f80" "DSP56F801 DSP56F803 DSP56F805 DSP56F807"
expect _vantix_cli "vantix-cli --sim-pods 2 write x.s --pods " "VSIM0001 VSIM0002 all"
expect _vantix_cli "vantix-cli --sim-pods 2 write x.s --pods A" "all"
expect _vantix_cli "vantix-cli --sim-pods 2 write x.s --pods VSIM0001,v" "VSIM0001,VSIM0001 VSIM0001,VSIM0002"
expect _vantix_cli "vantix-cli station-db " "grant init release releases series withdraw"
expect _vantix_cli "vantix-cli --station-db x station-db s" "series"
expect _vantix_cli "vantix-cli station-db series " ""
expect _vantix_cli "vantix-cli --log " "a.s b.S c.txt folder"
if [[ -n $window ]]; then
    expect _vantix "vantix --p" "--pod"
    expect _vantix "vantix --simulate --pod " "VSIM0001"
    expect _vantix "vantix " "a.s b.S folder"
fi

# fish, from the same tables: its own completion engine on two lines.
fish_expect() {
    local got
    got=$(fish -c "source $docs/$1.fish; complete -C '$2'" | cut -f1 | LC_ALL=C sort | paste -sd ' ')
    [[ $got == "$3" ]] || fail "fish '$2': got '$got', want '$3'"
}
fish_expect vantix-cli "vantix-cli write-verify x.s --regions " "BFLASH DFLASH P2FLASH PFLASH"
fish_expect vantix-cli "vantix-cli --simulate --pod " "VSIM0001"
fish_expect vantix-cli "vantix-cli info " "a.s b.S folder/"
[[ -n $window ]] && fish_expect vantix "vantix --s" "--simulate"

[[ $failures -eq 0 ]] && echo "completion: all checks passed"
exit $((failures > 0))
