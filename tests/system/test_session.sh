#!/usr/bin/env bash
# A short learner's session with the real program in a real X window, driven by real X key
# presses and mouse clicks: the size box on "Einstellungen" takes "1x5" (the x is dropped, 15
# is cut to 14), the editor's keyboard cycle builds two words in a new list, the list is saved
# under a name, opened on the learning page and two words are answered (one confirmed wrong,
# one settled with "Korrektur"), "Schließen" logs the drill after 20 older records, and the
# page "Statistik" must show the newest record. The results are read from the files the
# program writes (the .vkb, Statistik.dat, Init.dat after "Beenden") and, for what is
# visible, from a screenshot. On the way, a key release that closed a dialog must not count as
# an edit of a closed list.
#
# Every check runs even after an earlier one failed, so one run names every broken step.
#
# Usage: test_session.sh <tafelix-executable> <program-folder> [<source-dir>]
# Exit 77 (skipped) when Xvfb, xdotool or ImageMagick is missing.
set -euo pipefail

readonly RECORD=168

# ---------------------------------------------------------------- inside the X server
inside() {
    local work=$1
    local prog="$work/Tafelix"
    local pid="" wid="" failures=0
    require_display

    log() { echo "$*"; }
    check_failed() {
        echo "FAIL: $*" >&2
        failures=$((failures + 1))
    }
    # A step the rest of the session cannot do without.
    abort() {
        echo "FAIL: $*" >&2
        echo "--- windows shown" >&2
        local w
        for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
            xdotool getwindowname "$w" | od -c | head -n 2 >&2
        done
        report_program_failure
        exit 1
    }
    # wait_until <seconds> <what> <command...>: bounded polling of a state.
    wait_until() {
        local limit=$1 what=$2
        shift 2
        local deadline=$((SECONDS + limit))
        until "$@"; do
            kill -0 "$pid" 2>/dev/null || abort "the program ended while waiting for: $what"
            ((SECONDS < deadline)) || return 1
            sleep 0.05
        done
    }
    visible() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
    # A dialog whose title has an umlaut: xdotool's name match does not find it reliably,
    # so it is told by being the program's second window.
    second_window() { (($(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l) > 1)); }
    no_second_window() { ! second_window; }
    not_visible() { ! visible "$1"; }
    size_of() { stat -c %s "$1" 2>/dev/null || echo 0; }
    size_is() { [[ $(size_of "$1") == "$2" ]]; }
    newer_than() { [[ -f $1 && $1 -nt $2 ]]; }
    # Window coordinates: without a window manager the client area is the window.
    click() { xdotool mousemove --window "$wid" "$1" "$2" click "${3:-1}"; }
    # A box nobody expected would block the session: report and close it.
    no_box() {
        local box
        box=$(xdotool search --onlyvisible --name "$BOX_TITLES" 2>/dev/null | head -n 1) || true
        [[ -z $box ]] && return 0
        /usr/bin/import -window root "$work/box-$1.png" 2>/dev/null || true
        check_failed "$1: an unexpected box \"$(xdotool getwindowname "$box")\" (box-$1.png)"
        xdotool key Return
        wait_until 5 "the box to close" not_visible "$BOX_TITLES" || abort "the box stays open"
    }
    # The darkest pixel of a rectangle of the window, 0 (black) to 100 (white).
    darkest() {
        /usr/bin/import -window "$wid" "$work/window.png"
        /usr/bin/convert "$work/window.png" -crop "$1" +repage -colorspace gray \
            -format '%[fx:int(100*minima)]' info:
    }
    # One key press at a time, so the key filters see each key as a learner's.
    keys() { xdotool key --delay 30 "$@"; }

    map_german_letters || abort "no free key codes for the German letters"
    LC_ALL=de_DE.UTF-8 QT_QPA_PLATFORM=xcb "$prog/tafelix" >"$work/program.log" 2>&1 &
    pid=$!
    echo "$pid" >"$work/program.pid"
    window_up() {
        wid=$(xdotool search --onlyvisible --name '^Tafelix$' 2>/dev/null | head -n 1) || true
        [[ -n $wid ]]
    }
    wait_until 20 "the main window" window_up || abort "no window 'Tafelix' within 20 s"
    log "window 'Tafelix' mapped"
    no_box start-up

    # Tabs along the top: learning 60, editor 195, statistics 310, settings 405.
    # --- Einstellungen: the size box. A double click selects "10", so "1" replaces it.
    click 405 32
    xdotool mousemove --window "$wid" 385 348 click --repeat 2 1
    keys 1 x 5
    no_box size-box

    # --- Vokabeln bearbeiten: "Neu" on the file toolbar, then the keyboard cycle.
    click 195 32
    click 40 85
    no_box new-list
    xdotool type --delay 30 'Haus'
    keys Return h o u s e Return Return Return Return
    # The fifth Enter appended word 2 with the focus back in "Deutsch": "Äpfel" needs shift
    # for its capital umlaut.
    keys shift+Adiaeresis p f e l Return a p p l e s Return
    no_box keyboard-cycle

    # "Sp. unter": the save dialog offers "Neue Datei.vkb" selected; the name replaces it.
    local list="$prog/Vokabeln/Sitzung.vkb"
    click 224 85
    wait_until 10 "the save dialog" visible '^Speichern unter$' || abort "no save dialog"
    xdotool type --delay 30 'Sitzung'
    keys Return
    wait_until 10 "Sitzung.vkb" test -s "$list" || abort "the list was not saved"
    wait_until 5 "the save dialog to close" not_visible '^Speichern unter$' ||
        abort "the save dialog stays open"
    no_box save
    crlf() { printf '%s\r\n' "$@"; }
    {
        crlf "VKB Vokabeldatei" 1 0 Haus house "" ""
        crlf 1 0 $'\xc4pfel' apples "" ""
    } >"$work/expected.vkb"
    if cmp -s "$work/expected.vkb" "$list"; then
        log "keyboard cycle: Sitzung.vkb holds Haus/house and Äpfel/apples"
    else
        cp "$list" "$work/saved.vkb"
        check_failed "the saved list is not the two typed words (saved.vkb, expected.vkb)"
    fi

    # --- A closed list must not ask to be saved: one typed key makes the list modified;
    # "Öffnen" asks, "Nein" closes the list, and Escape leaves the open dialog. Escape's
    # release then lands in the hidden "Deutsch" field and must not count as an edit, so
    # the next "Öffnen" goes straight to the dialog.
    click 210 158
    keys x
    click 99 86
    wait_until 10 "the save question" visible '^Warnung$' || abort "no save question"
    keys Tab space # "Nein"
    wait_until 10 "the open dialog after Nein" second_window || abort "no open dialog"
    keys Escape
    wait_until 5 "the open dialog to close" no_second_window || abort "the open dialog stays"
    click 99 86
    wait_until 10 "the second open dialog" second_window || abort "no second open dialog"
    if visible '^Warnung$'; then
        check_failed "a closed, empty list asked to be saved"
        keys Tab space
        wait_until 10 "the open dialog" visible '^Warnung$' && abort "the question stays"
    else
        log "a closed list asks nothing: the Escape release was no edit"
    fi
    keys Escape
    wait_until 5 "the open dialog to close" no_second_window || abort "the open dialog stays"
    no_box closed-list

    # --- Vokabeln lernen: open the list, start, answer two words.
    click 60 32
    click 37 70
    wait_until 10 "the open dialog" second_window || abort "no open dialog"
    xdotool type --delay 30 'Sitzung.vkb'
    keys Return
    wait_until 5 "the open dialog to close" no_second_window || abort "the open dialog stays"
    no_box open
    click 455 410 # "Start"
    # A wrong answer is the one the program's reaction can be waited for: the correction
    # box. The first is confirmed wrong with Enter ("OK" has the focus), the second settled
    # as right with "Korrektur", reached by Tab as a learner would.
    local answer
    for answer in wrong corrected; do
        no_box "before-$answer"
        keys z z z Return
        wait_until 10 "the correction box" visible '^Fehler$' || abort "no correction box"
        if [[ $answer == wrong ]]; then keys Return; else keys Tab space; fi
        wait_until 5 "the correction box to close" not_visible '^Fehler$' ||
            abort "the correction box stays open"
    done
    click 455 410 # "Stop" saves the list in place
    wait_until 10 "the list saved by Stop" newer_than "$list" "$work/expected.vkb" ||
        check_failed "'Stop' did not save the list"
    no_box stop
    local passes
    passes=$(awk 'NR > 1 && (NR - 2) % 6 == 1 { sub(/\r$/, ""); s += $0 } END { print s }' "$list")
    [[ $passes == 2 ]] || check_failed "the saved list counts $passes passes, not 2"

    # "Schließen" logs the drill as record 21.
    local stat="$prog/SysDat/Statistik.dat"
    click 101 70
    wait_until 10 "record 21 in Statistik.dat" size_is "$stat" $((21 * RECORD)) ||
        abort "Statistik.dat has $(size_of "$stat") bytes, not 21 records"
    no_box close
    local newest
    newest=$(/usr/bin/python3 - "$stat" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()[-168:]
fields, at = [], 0
for size in (100, 11, 10, 10, 10, 10, 10):
    n = min(data[at], size)
    fields.append(data[at + 1:at + 1 + n].decode("cp1252"))
    at += size + 1
print("|".join(f for i, f in enumerate(fields) if i != 3))  # the time varies
PY
)
    local today
    today=$(date +%d.%m.%Y)
    if [[ $newest == "Sitzung.vkb|$today|2|1|1|50,00" ]]; then
        log "logged: $newest"
    else
        check_failed "the logged record reads \"$newest\""
    fi

    # --- Statistik: 21 records, so the view must be scrolled to the end. Only the newest
    # record has a file name: dark pixels in the first column mean it is in view.
    click 310 32
    wait_until 5 "the statistics page" test "$(darkest 140x14+30+56)" -lt 40 ||
        abort "the statistics table is not shown"
    newest_in_view() { (($(darkest 60x290+180+71) < 40 && $(darkest 140x290+30+71) < 40)); }
    local in_view=false
    wait_until 3 "the newest record in view" newest_in_view && in_view=true
    /usr/bin/import -window "$wid" "$work/statistics.png"
    if $in_view; then
        log "statistics: the newest record is in view"
    else
        check_failed "the newest record is not in view (statistics.png)"
    fi

    # --- "Beenden" on the learning page writes Init.dat and ends the program.
    click 60 32
    local init="$prog/SysDat/Init.dat"
    click 294 70
    local ended=false
    for _ in $(seq 200); do
        if ! kill -0 "$pid" 2>/dev/null; then
            ended=true
            break
        fi
        no_box exit
        sleep 0.05
    done
    $ended || abort "'Beenden' did not end the program within 10 s"
    local rc=0
    wait "$pid" || rc=$?
    pid=""
    ((rc == 0)) || check_failed "the program ended with exit code $rc"
    [[ $(size_of "$init") == 329 ]] || check_failed "Init.dat is not one 329-byte record"
    # A ShortText is a length byte and its characters: the last file name at 0, the size at 326.
    short_text() {
        /usr/bin/python3 -c 'import sys
d = open(sys.argv[1], "rb").read()
at, n = int(sys.argv[2]), int(sys.argv[3])
print(d[at + 1:at + 1 + min(d[at], n)].decode("cp1252"))' "$init" "$1" "$2"
    }
    local last_name size_text
    last_name=$(short_text 0 100)
    size_text=$(short_text 326 2)
    [[ $last_name == Sitzung.vkb ]] || check_failed "Init.dat names \"$last_name\" as last file"
    if [[ $size_text == 14 ]]; then
        log "size box: \"1x5\" typed, \"14\" stored"
    else
        check_failed "the size box stored \"$size_text\", not \"14\""
    fi

    ((failures == 0)) || exit 1
    echo "PASS"
}

source "$(dirname "${BASH_SOURCE[0]}")/xserver.sh"

if [[ ${1:-} == --inside ]]; then
    inside "$2"
    exit 0
fi

# ---------------------------------------------------------------- set-up and clean-up
require_tools Xvfb xdotool /usr/bin/import /usr/bin/convert /usr/bin/python3
xserver_test_setup session "$1" "$2" "screenshots, program.log"

# 20 logged drills that name no file, so the newest record is the only row with text in the
# first column.
/usr/bin/python3 - "$work/Tafelix/SysDat/Statistik.dat" <<'PY'
import sys
def short(text, size):
    raw = text.encode("cp1252")[:size]
    return bytes([len(raw)]) + raw + bytes(size - len(raw))
with open(sys.argv[1], "wb") as f:
    for i in range(20):
        f.write(short("", 100) + short("05.03.2024", 11) + short("4", 10) +
                short("00:01:00", 10) + short("2", 10) + short("2", 10) + short("50,00", 10))
PY

rc=0
run_inside_xvfb "$0" || rc=$?
exit "$rc"
