#!/usr/bin/env bash
# One list in two instances of the real program, driven by real X key presses and mouse clicks,
# as a learner who opened the list twice (a menu entry and a double-click are enough):
#  - the second instance is told at start that the list is open elsewhere; the first is not;
#  - A changes the last word and saves (no question: its file is unchanged); B changes the first
#    word and saves: B is asked. "Abbrechen" leaves A's file; asked again, "Überschreiben" puts
#    B's words in; then A, changing again and saving, is asked, and "Speichern unter…" writes
#    A's words to a new file while the list keeps B's;
#  - each instance then drills and logs with "Schließen": Statistik.dat holds both records,
#    although each instance loaded the log before the other one wrote to it.
# The results are read from the files the program writes.
#
# Usage: test_two_windows.sh <tafelix-executable> <program-folder> [<source-dir>]
# Exit 77 (skipped) when Xvfb, xdotool or ImageMagick is missing.
set -euo pipefail

readonly RECORD=168

# ---------------------------------------------------------------- inside the X server
inside() {
    local work=$1
    local prog="$work/Tafelix"
    local list="$prog/Vokabeln/Liste.vkb"
    local pa="" pb="" wa="" wb="" failures=0
    require_display

    log() { echo "$*"; }
    check_failed() {
        echo "FAIL: $*" >&2
        failures=$((failures + 1))
    }
    abort() {
        echo "FAIL: $*" >&2
        /usr/bin/import -window root "$work/screenshot.png" 2>/dev/null || true
        local p
        for p in $pa $pb; do kill "$p" 2>/dev/null || true; done
        echo "--- program output" >&2
        cat "$work/a.log" "$work/b.log" >&2 || true
        display_lost "$work/a.log" && exit "$XSERVER_UNUSABLE"
        display_lost "$work/b.log" && exit "$XSERVER_UNUSABLE"
        exit 1
    }
    wait_until() {
        local limit=$1 what=$2
        shift 2
        local deadline=$((SECONDS + limit))
        until "$@"; do
            local p
            for p in $pa $pb; do
                kill -0 "$p" 2>/dev/null || abort "an instance ended while waiting for: $what"
            done
            ((SECONDS < deadline)) || return 1
            sleep 0.05
        done
    }
    # window <pid> <title>: the visible window of that instance with that title.
    window() { xdotool search --all --onlyvisible --pid "$1" --name "$2" 2>/dev/null | head -n 1; }
    shows() { [[ -n $(window "$1" "$2") ]]; }
    hides() { ! shows "$1" "$2"; }
    # An instance's boxes: a title of a box kind.
    box_of() { window "$1" '^(Fehler|Warnung|Information|Best.{1,2}tigung)$'; }
    no_box_of() { [[ -z $(box_of "$1") ]]; }
    click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
    keys() { xdotool key --delay 30 "$@"; }
    crlf() { printf '%s\r\n' "$@"; }
    list_of() { # list_of <german 1> <german 2>: the list with these words
        crlf "VKB Vokabeldatei" 1 0 "$1" house "" "" 1 0 "$2" tree "" ""
    }
    holds() { cmp -s "$1" "$2"; }
    expect_file() { # expect_file <file> <expected> <what>
        if holds "$1" "$2"; then
            log "$3"
        else
            cp "$1" "$work/$(basename "$2").got" 2>/dev/null || true
            check_failed "$3: the file holds something else ($(basename "$2").got)"
        fi
    }
    # Changes the German text of word 1 (first) or the last word in that instance's editor.
    edit_word() { # edit_word <wid> first|last <letter>
        click "$1" 195 32                           # "Vokabeln bearbeiten"
        if [[ $2 == first ]]; then click "$1" 159 352; else click "$1" 336 352; fi
        click "$1" 210 158                          # "Deutsch"
        keys End "$3"
    }
    speichern() { click "$1" 162 85; }
    # The question's buttons: "Abbrechen" has the focus, Tab goes to "Überschreiben", and
    # once more to "Speichern unter…".
    asked() { # asked <pid> <what>
        wait_until 10 "$2" shows "$1" '^Warnung$' || abort "no question: $2"
    }
    answered() { # answered <pid>
        wait_until 5 "the question to close" hides "$1" '^Warnung$' || abort "the question stays open"
    }

    start() { # start <log>: an instance on the list; its pid in `started`
        LC_ALL=de_DE.UTF-8 QT_QPA_PLATFORM=xcb "$prog/tafelix" "$list" >"$work/$1" 2>&1 &
        started=$!
    }
    local started
    start a.log
    pa=$started
    echo "$pa" >"$work/program.pid"
    up_a() { wa=$(window "$pa" '^Tafelix$'); [[ -n $wa ]]; }
    wait_until 20 "instance A" up_a || abort "no window of instance A"
    # Without a window manager both would sit in the middle: side by side, overlapping a
    # little on the right of A, where no control of either is clicked.
    xdotool windowmove --sync "$wa" 0 0
    start b.log
    pb=$started
    up_b() { wb=$(window "$pb" '^Tafelix$'); [[ -n $wb ]]; }
    wait_until 20 "instance B" up_b || abort "no window of instance B"
    if wait_until 10 "B's notice" shows "$pb" '^Information$'; then
        log "B is told that the list is open in A"
        keys Return
        wait_until 5 "the notice to close" hides "$pb" '^Information$' || abort "the notice stays"
    else
        check_failed "B was not told that the list is open in another instance"
    fi
    xdotool windowmove --sync "$wb" 484 0
    no_box_of "$pa" || check_failed "A showed a box at start"

    # --- A saves, B saves: B is asked. "Abbrechen" keeps A's file.
    list_of Haus Bauma >"$work/a1.vkb"
    list_of Hausb Baum >"$work/b1.vkb"
    list_of Haus Baumac >"$work/a2.vkb"
    edit_word "$wa" last a
    speichern "$wa"
    wait_until 10 "A's save" holds "$list" "$work/a1.vkb" || abort "A's save did not happen"
    no_box_of "$pa" || check_failed "A was asked about its own unchanged file"
    log "A saved without a question"
    edit_word "$wb" first b
    speichern "$wb"
    asked "$pb" "B's save over A's"
    log "B is asked before replacing A's save"
    keys Return # "Abbrechen"
    answered "$pb"
    expect_file "$list" "$work/a1.vkb" "Abbrechen: the list keeps A's words"

    # --- Asked again, B answers "Überschreiben".
    speichern "$wb"
    asked "$pb" "B's second save"
    keys Tab space
    answered "$pb"
    wait_until 5 "B's words" holds "$list" "$work/b1.vkb" || true
    expect_file "$list" "$work/b1.vkb" "Überschreiben: the list holds B's words"

    # --- A, changing again, is asked now; "Speichern unter…" writes A's words elsewhere.
    click "$wa" 210 158
    keys End c
    speichern "$wa"
    asked "$pa" "A's save over B's"
    keys Tab Tab space
    wait_until 10 "the save dialog" shows "$pa" '^Speichern unter$' || abort "no save dialog"
    xdotool type --delay 30 'Kopie'
    keys Return
    local copy="$prog/Vokabeln/Kopie.vkb"
    wait_until 10 "Kopie.vkb" test -s "$copy" || abort "A's words were not saved under a new name"
    wait_until 5 "the save dialog to close" hides "$pa" '^Speichern unter$' ||
        abort "the save dialog stays open"
    expect_file "$copy" "$work/a2.vkb" "Speichern unter…: Kopie.vkb holds A's words"
    expect_file "$list" "$work/b1.vkb" "Speichern unter…: the list still holds B's words"
    no_box_of "$pa" || check_failed "A shows a box after saving under a new name"
    no_box_of "$pb" || check_failed "B shows a box"

    # --- Each instance drills (one wrong answer), stops and logs with "Schließen". Each read
    # the log at its start, before the other wrote to it.
    local stat="$prog/SysDat/Statistik.dat"
    local w p n=0
    for w in "$wa" "$wb"; do
        if [[ $w == "$wa" ]]; then p=$pa; else p=$pb; fi
        n=$((n + 1))
        click "$w" 60 32    # "Vokabeln lernen"
        click "$w" 455 410  # "Start"
        keys z z z Return
        wait_until 10 "the correction box" shows "$p" '^Fehler$' || abort "no correction box"
        keys Return
        wait_until 5 "the correction box to close" hides "$p" '^Fehler$' ||
            abort "the correction box stays open"
        click "$w" 455 410  # "Stop" saves the list
        no_box_of "$p" || check_failed "instance $n asked something at Stop"
        click "$w" 101 70   # "Schließen" logs the drill
        size_is() { [[ $(stat -c %s "$stat" 2>/dev/null || echo 0) == $((n * RECORD)) ]]; }
        wait_until 10 "record $n" size_is || check_failed "Statistik.dat does not hold $n records"
    done
    local names
    names=$(/usr/bin/python3 - "$stat" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
print(" ".join(data[at + 1:at + 1 + min(data[at], 100)].decode("cp1252")
               for at in range(0, len(data) - 167, 168)))
PY
)
    # A record names the list as it was opened, also after "Speichern unter…".
    if [[ $names == "Liste.vkb Liste.vkb" ]]; then
        log "Statistik.dat holds both drills: $names"
    else
        check_failed "Statistik.dat holds \"$names\", not A's and B's drills"
    fi

    # --- Both end with "Beenden".
    for p in $pa $pb; do
        if [[ $p == "$pa" ]]; then w=$wa; else w=$wb; fi
        click "$w" 294 70
        local ended=false
        for _ in $(seq 200); do
            kill -0 "$p" 2>/dev/null || { ended=true; break; }
            sleep 0.05
        done
        $ended || abort "an instance did not end with 'Beenden'"
        local rc=0
        wait "$p" || rc=$?
        ((rc == 0)) || check_failed "an instance ended with exit code $rc"
    done
    pa="" pb=""
    rm -f "$work/program.pid"

    ((failures == 0)) || exit 1
    echo "PASS"
}

source "$(dirname "${BASH_SOURCE[0]}")/xserver.sh"

if [[ ${1:-} == --inside ]]; then
    inside "$2"
    exit 0
fi

# ---------------------------------------------------------------- set-up and clean-up
require_tools Xvfb xdotool /usr/bin/import /usr/bin/python3
xserver_test_setup two-windows "$1" "$2" "screenshot, a.log, b.log"
printf '%s\r\n' "VKB Vokabeldatei" 1 0 Haus house "" "" 1 0 Baum tree "" "" \
    >"$work/Tafelix/Vokabeln/Liste.vkb"
: >"$work/Tafelix/SysDat/Statistik.dat"

rc=0
run_inside_xvfb "$0" || rc=$?
exit "$rc"
