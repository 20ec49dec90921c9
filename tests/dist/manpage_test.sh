#!/usr/bin/env bash
# The manual page zettelwerk(1) and "zettelwerk --help" state the same options and the same
# environment variables; the page renders without warnings.
# Usage: manpage_test.sh <zettelwerk executable> <zettelwerk.1>
set -uo pipefail
EXE=${1:?program}
PAGE=${2:?manual page}
for tool in man python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$EXE" --help >"$work/help.txt" 2>&1 || { echo "FAIL: --help ended with $?"; exit 1; }
LC_ALL=C.UTF-8 MANWIDTH=200 man --warnings -E UTF-8 -l "$PAGE" >"$work/page.txt" 2>"$work/warnings.txt" ||
  { echo "FAIL: man: $(cat "$work/warnings.txt")"; exit 1; }
[ ! -s "$work/warnings.txt" ] || { echo "FAIL: the page renders with warnings:"; cat "$work/warnings.txt"; exit 1; }

python3 - "$work/help.txt" "$work/page.txt" <<'PY'
import itertools, re, sys
OPTION = re.compile(r"(?<![\w/~.-])(--?[a-z][a-z-]*|/[a-z]+)\b")
VARIABLE = re.compile(r"\b[A-Z][A-Z0-9_]{2,}\b")

def help_blocks(text):
    """Entry heads of the --help blocks "Optionen:" and "Umgebung:" (text before the
    description's run of blanks)."""
    blocks, current = {}, None
    for line in text.splitlines():
        if re.match(r"^\S.*:$", line):
            current = line[:-1]
            blocks[current] = []
        elif current and re.match(r"^  \S", line):
            blocks[current].append(re.split(r"\s{2,}", line.strip())[0])
        elif not line.strip():
            current = None
    return blocks

def page_sections(text):
    """Tag lines (indented by 7) of the rendered page's sections."""
    sections, current = {}, None
    for line in text.splitlines():
        if re.match(r"^[A-ZÄÖÜ][A-ZÄÖÜ -]+$", line):
            current = line.strip()
            sections[current] = []
        elif current and re.match(r"^ {7}\S", line):
            sections[current].append(line.strip())
    return sections

help_text = open(sys.argv[1], encoding="utf-8").read()
page_text = open(sys.argv[2], encoding="utf-8").read()
blocks, sections = help_blocks(help_text), page_sections(page_text)
failed = False
for block, section, pattern in (("Optionen", "OPTIONEN", OPTION), ("Umgebung", "UMGEBUNG", VARIABLE)):
    if block not in blocks or section not in sections:
        print(f"FAIL: --help lacks '{block}:' or the page lacks {section}")
        sys.exit(1)
    said = {m for head in blocks[block] for m in pattern.findall(head)}
    paged = {m for head in sections[section] for m in pattern.findall(head)}
    print(f"{section}: {' '.join(sorted(said))}")
    if not said:
        print(f"FAIL: nothing found in '{block}:' of --help")
        failed = True
    if said != paged:
        print(f"FAIL: {section} differ; only in --help: {sorted(said - paged)}, only in the page: {sorted(paged - said)}")
        failed = True
# The synopsis (the first line and the further "zettelwerk ..." lines under it) names the same
# options.
usage = help_text.splitlines()
usage = [usage[0]] + list(itertools.takewhile(lambda l: re.match(r"^\s+zettelwerk ", l), usage[1:]))
synopsis = {m for line in usage for m in OPTION.findall(line)}
page_synopsis = set(OPTION.findall(" ".join(sections.get("ÜBERSICHT", []))))
if synopsis != page_synopsis:
    print(f"FAIL: synopsis differs: --help {sorted(synopsis)}, page {sorted(page_synopsis)}")
    failed = True
sys.exit(1 if failed else 0)
PY
rc=$?
[ "$rc" -eq 0 ] && echo "PASS: manual page and --help agree"
exit "$rc"
