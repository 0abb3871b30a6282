#!/usr/bin/env bash
# The manual pages: mandoc's lint and groff's warnings find nothing, and every command, long
# option and exit status that a program's --help names is in its page.
# Usage: man-pages-test.sh DOC-FOLDER VANTIX-CLI [VANTIX]
set -uo pipefail
docs=$1 cli=$2 window=${3:-}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Every long option and exit status of a help text is in the page's source.
covers() {
    local page=$1 help=$2 option code
    for option in $(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u); do
        grep -qF -- "${option//-/\\-}" "$page" || fail "$page lacks $option"
    done
    for code in $(awk '/^Exit status:/{f=1; next} f && /^  [0-9]/{print $1} f && /^$/{exit}' <<<"$help"); do
        grep -qxF "\\fB$code\\fR" "$page" || fail "$page lacks exit status $code"
    done
}

pages=("$docs/vantix-cli.1")
[[ -n $window ]] && pages+=("$docs/vantix.1")
for page in "${pages[@]}"; do
    [[ -s $page ]] || { fail "$page is missing"; continue; }
    lint=$(mandoc -T lint -W style "$page" 2>&1) || fail "mandoc -T lint $page: $lint"
    warnings=$(groff -ww -z -man "$page" 2>&1)
    [[ -z $warnings ]] || fail "groff -ww $page: $warnings"
done

# An option's name never breaks at a line's end, whatever the width: neither hyphenated
# ("--no-sim-" / "ulate") nor split at one of its dashes.
for page in "${pages[@]}"; do
    for width in 45 50 55 60 65 70 75 80 85 90 95 100; do
        broken=$(LC_ALL=C MANWIDTH=$width man -l "$page" 2>/dev/null |
            grep -E -- '(^|[^[:alnum:]-])--?[[:alnum:]][[:alnum:]-]*-$')
        [[ -z $broken ]] || fail "$page at $width columns breaks an option's name: $broken"
    done
done

covers "$docs/vantix-cli.1" "$("$cli" --help)"
commands=$("$cli" --help | awk '/^Commands:/{f=1; next} f && /^  [a-z]/{print $1} f && /^$/{exit}')
[[ -n $commands ]] || fail "no commands in vantix-cli --help"
for command in $commands; do
    grep -qxF ".B vantix\\-cli ${command//-/\\-}" "$docs/vantix-cli.1" ||
        fail "vantix-cli.1 lacks the synopsis of $command"
    covers "$docs/vantix-cli.1" "$("$cli" "$command" --help)"
done
[[ -n $window ]] && covers "$docs/vantix.1" "$("$window" --help)"

# The page reads: its name line and an example of a production run.
man_text=$(LC_ALL=C MANWIDTH=100 man -l "$docs/vantix-cli.1" 2>/dev/null)
grep -q 'vantix-cli - flash' <<<"$man_text" || fail "vantix-cli.1 has no NAME line"
grep -q -- '--repeat' <<<"$(sed -n '/^EXAMPLES/,/^SEE ALSO/p' <<<"$man_text")" ||
    fail "vantix-cli.1 has no production run among its examples"

[[ $failures -eq 0 ]] && echo "manual pages: all checks passed"
exit $((failures > 0))
