#!/usr/bin/env python3
"""The README and the pages under docs/ hold together: every relative link names a file that
exists (and, in a Markdown file, a heading that it has), the README links every page, and
every command that a fenced block shows starting with vantix-cli is one that vantix-cli's
parser takes.

A command is joined across trailing backslashes; a "$ " prompt before it and a "# comment"
after it are not part of it. It is read as a POSIX shell reads its words, then parsed in a
scratch folder holding the job files that its page shows: a fenced block whose first line is
"# NAME.toml" (or .ini) is that file. vantix-cli.exe commands are written for cmd.exe and
the Windows build, and are left out. Links in code are not links: fenced blocks, inline code,
and indented code blocks that start after a blank line outside a list (one nested in a list
item is read as prose, which errs on the side of checking).

Usage: pages-test.py SOURCE-FOLDER PARSE-ONLY-PROGRAM
"""
import glob
import os
import re
import shlex
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^\s*(```|~~~)")
INDENTED = re.compile(r"^(    |\t)")
LIST_ITEM = re.compile(r"^\s*(?:[-*+]|\d+[.)])\s")
INLINE_CODE = re.compile(r"`[^`]*`")
LINK = re.compile(r"!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?[^)]*\)")
REFERENCE = re.compile(r"^ {0,3}\[[^\]]+\]:\s*(\S+)", re.MULTILINE)
HEADING = re.compile(r"^#{1,6}\s+(.*?)\s*#*\s*$", re.MULTILINE)
SCHEME = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*:")
JOB_FILE = re.compile(r"^#\s*([\w.-]+\.(?:toml|ini))\b")
COMMAND = re.compile(r"^\s*(?:\$\s+)?(\S+)")
PROGRAM = re.compile(r"(?:^|/)vantix-cli$")

failures = []


def fail(where, message):
    failures.append(f"{where}: {message}")


def read_page(path):
    """The page's prose, its fenced and indented code lines blanked so that offsets keep their
    line numbers, and its fenced blocks as (first line number, lines)."""
    prose, blocks, block = [], [], None
    indented, after_blank, in_list = False, True, False
    with open(path, encoding="utf-8") as page:
        for number, line in enumerate(page.read().split("\n"), 1):
            # An indented code block starts after a blank line, outside a list's item.
            code = block is None and INDENTED.match(line) is not None
            indented = code and (indented or (after_blank and not in_list))
            if block is None and line.strip() and not indented:
                in_list = LIST_ITEM.match(line) is not None or (in_list and line[:1] == " ")
            after_blank = not line.strip()
            if indented:
                prose.append("")
            elif FENCE.match(line):
                if block is None:
                    block = (number + 1, [])
                else:
                    blocks.append(block)
                    block = None
                prose.append("")
            elif block is not None:
                block[1].append(line)
                prose.append("")
            else:
                prose.append(line)
    return "\n".join(prose), blocks


def without_code(prose):
    """The prose with its inline code blanked, line breaks kept."""
    return INLINE_CODE.sub(lambda code: re.sub(r"[^\n]", " ", code.group()), prose)


def slug(heading):
    """The anchor that a heading gets, as GitHub makes it."""
    text = re.sub(r"[`*]|\[|\]\([^)]*\)", "", heading).strip().lower()
    return re.sub(r"[^\w\- ]", "", text).replace(" ", "-")


def anchors(path):
    """The anchors of a Markdown file's headings; a repeated heading's get -1, -2, ..."""
    prose, _ = read_page(path)
    seen, found = {}, set()
    for heading in HEADING.findall(prose):
        name = slug(heading)
        found.add(name if name not in seen else f"{name}-{seen[name]}")
        seen[name] = seen.get(name, 0) + 1
    return found


def check_links(page, prose):
    """The files the page links to, after checking each."""
    linked = set()
    prose = without_code(prose)
    targets = [(m.start(), m.group(1)) for m in LINK.finditer(prose)]
    targets += [(m.start(), m.group(1)) for m in REFERENCE.finditer(prose)]
    for offset, target in targets:
        where = f"{page}:{prose.count(chr(10), 0, offset) + 1}"
        if SCHEME.match(target):
            continue
        path, _, anchor = target.partition("#")
        named = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        if not os.path.exists(named):
            fail(where, f"the link {target} names no file")
        elif anchor and named.endswith(".md") and anchor not in anchors(named):
            fail(where, f"the link {target} names no heading of {named}")
        linked.add(named)
    return linked


def commands(blocks):
    """(line number, command line) of every line of the blocks, joined across backslashes."""
    for first, lines in blocks:
        joined, start = "", None
        for offset, line in enumerate(lines):
            start = first + offset if start is None else start
            if line.endswith("\\"):
                joined += line[:-1] + " "
                continue
            yield start, joined + line
            joined, start = "", None


def write_job_files(blocks, folder):
    for _, lines in blocks:
        name = JOB_FILE.match(lines[0]) if lines else None
        if name:
            with open(os.path.join(folder, name.group(1)), "w", encoding="utf-8") as job:
                job.write("\n".join(lines) + "\n")


def check_commands(page, blocks, parse_only):
    """How many commands of the page were parsed, after checking each."""
    count = 0
    with tempfile.TemporaryDirectory() as scratch:
        write_job_files(blocks, scratch)
        for number, line in commands(blocks):
            program = COMMAND.match(line)
            if not program or not PROGRAM.search(program.group(1)):
                continue
            count += 1
            where = f"{page}:{number}"
            try:
                words = shlex.split(line.lstrip().removeprefix("$ "), comments=True)
            except ValueError as error:
                fail(where, f"{line.strip()}: not a shell command line ({error})")
                continue
            parsed = subprocess.run([parse_only] + words[1:], cwd=scratch, timeout=60,
                                    capture_output=True, text=True)
            if parsed.returncode != 0:
                fail(where, f"{line.strip()}: {(parsed.stdout + parsed.stderr).strip()}")
    return count


def main():
    source, parse_only = sys.argv[1], os.path.abspath(sys.argv[2])
    os.chdir(source)
    pages = ["README.md"] + sorted(glob.glob("docs/*.md")) + ["tests/README.md"]
    linked_from_readme, command_count = set(), 0
    for page in pages:
        prose, blocks = read_page(page)
        linked = check_links(page, prose)
        if page == "README.md":
            linked_from_readme = linked
        command_count += check_commands(page, blocks, parse_only)
    for page in pages[1:]:
        if page not in linked_from_readme:
            fail("README.md", f"no link to {page}")
    if command_count == 0:
        fail(source, "no vantix-cli command found in any fenced block")
    for failure in failures:
        print("FAIL:", failure)
    if not failures:
        print(f"pages: {len(pages)} pages, {command_count} commands, all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
