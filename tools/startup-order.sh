#!/usr/bin/env bash
# Writes src/app/startup-order.ld: the program's functions that run while it starts with a
# full list, gathered at the front of its code.
#
# The kernel maps a program's code in blocks of 64 KiB as it is first run. Spread over the
# whole program, the few functions the start needs made the start map nearly all of it, code
# for printing and importing included; gathered, they take a few blocks.
#
# Run it after larger changes to the start-up (a stale list costs memory, never correctness:
# a function it names that no longer exists is ignored, a new one sits with the rest).
# Needs valgrind and Xvfb.
#
# Usage: bash tools/startup-order.sh [build-dir]   (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
tafelix="$build/Tafelix/tafelix"
out="$root/src/app/startup-order.ld"
[[ -x $tafelix ]] || { echo "missing $tafelix: build the program first" >&2; exit 1; }
for tool in valgrind Xvfb python3; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tafelix-order.XXXXXX")
xvfb_pid=""
# shellcheck source=../tests/system/xserver.sh
source "$root/tests/system/xserver.sh"
cleanup() {
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT

# The same full list the start-up benchmark opens.
python3 "$root/bench/full_list.py" "$work/Gross.vkb"

start_xvfb || { cat "$work/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=$xvfb_display QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Under callgrind the window is up after a few seconds; the profile is written as the
# program is ended. A child the program forks (the printing module asks for the printers)
# writes a profile of its own.
# Started with the full list and without a file: the two ways a learner starts it.
for args in "$work/Gross.vkb" ""; do
    timeout -s TERM "${SECONDS_UNDER_CALLGRIND:-15}" valgrind --tool=callgrind --demangle=no \
        --callgrind-out-file="$work/profile.%p" "$tafelix" $args >>"$work/log" 2>&1 || true
done
compgen -G "$work/profile.*" >/dev/null || { cat "$work/log" >&2; echo "callgrind wrote no profile" >&2; exit 1; }

python3 - "$tafelix" "$out" "$work"/profile.* <<'EOF'
import re, subprocess, sys
program, out, profiles = sys.argv[1], sys.argv[2], sys.argv[3:]

# Callgrind does not always tell which object a function came from once the program has
# forked, so the program's own functions are told by the program's symbol table.
symbols = subprocess.run(["nm", "--defined-only", program], capture_output=True, text=True,
                         check=True).stdout
own = {fields[2] for fields in (line.split() for line in symbols.splitlines())
       if len(fields) == 3 and fields[1] in "tTwW"}
ran = set()
for profile in profiles:
    for line in open(profile, errors="replace"):
        m = re.match(r"^c?fn=\(\d+\) (.*)$", line.rstrip("\n"))
        if m and m.group(1) in own:
            ran.add(m.group(1))
ran = sorted(ran)
if not any(n.startswith("_ZN7tafelix6TForm1C") for n in ran):
    sys.exit("the window was not made under callgrind in time: raise SECONDS_UNDER_CALLGRIND")
sections = []
for name in ran:
    # Complete constructors and destructors are aliases in the section of the base ones.
    for variant in dict.fromkeys([name, re.sub(r"([CD])1([EI])", r"\g<1>2\2", name)]):
        sections.append(".text." + variant)
with open(out, "w") as f:
    f.write("/* Written by tools/startup-order.sh: the functions that run as the program starts\n"
            "   with a full list, and every static initialiser, in front of the rest of the code. */\n")
    f.write("SECTIONS\n{\n  .text.startup_order :\n  {\n")
    # The C runtime's start code and the frame registration run first of all.
    f.write("    *crt1.o(.text .text.*)\n    *crti.o(.text .text.*)\n    *crtbeginS.o(.text .text.*)\n")
    f.write("    *(.text.startup .text.startup.*)\n")
    for s in dict.fromkeys(sections):
        f.write(f"    *({s})\n")
    f.write("  }\n}\nINSERT BEFORE .text;\n")
print(f"{len(ran)} functions -> {out}")
EOF
