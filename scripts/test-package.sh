#!/usr/bin/env bash
# Builds the Debian package and tries it the way a learner gets it, without installing it on
# this machine: lintian must find no error and no warning; apt must be able to resolve its
# dependencies (simulated); its desktop entry and metainfo must validate. Then the package is
# unpacked into a throwaway root, where the program is asked for --version and --help without
# a display and started in a fresh home folder under Xvfb (~/Tafelix must be made from the
# template, and a second start must keep the learner's files); the desktop's MIME database
# and menu index are built there as dpkg's triggers would, and a .vkb must be known by its
# name and by its first line and, opened as a file manager opens it, start Tafelix with it.
# Whatever this machine had installed of Tafelix before (a tafelix package or nothing) must be
# exactly the same afterwards. Usage: scripts/test-package.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
fail() {
    echo "test-package: FAILED: $*" >&2
    exit 1
}
step() { echo "test-package: $*"; }

cmake --build "$build" -j"$(nproc)" >/dev/null
rm -f "$build"/tafelix_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/tafelix_*_amd64.deb)
[[ -f ${debs[0]} ]] || fail "cpack made no tafelix_*_amd64.deb"
deb=${debs[0]}
step "built $(basename "$deb")"

# The state of the package tafelix on this machine, and the checksum (or absence) of every
# path the new package ships or an installed tafelix owns.
installed_state() {
    dpkg-query -W -f='${Package} ${Version} ${Status}\n' tafelix 2>/dev/null || echo "tafelix: not installed"
    {
        dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }'
        dpkg-query -L tafelix 2>/dev/null || true
    } | sort -u | while read -r path; do
        if [[ -f $path ]]; then
            md5sum "$path"
        elif [[ -e $path ]]; then
            echo "present $path"
        else
            echo "absent $path"
        fi
    done
}

work=$(mktemp -d)
xvfb_pid=""
source "$here/tests/system/xserver.sh"
installed_state >"$work/before"
step "before: $(head -n 1 "$work/before")"
# Runs however the script ends: a test that changed the learner's installation has failed,
# whatever else it found.
finish() {
    local status=$?
    stop_xvfb
    installed_state >"$work/after"
    if ! diff -u "$work/before" "$work/after" >&2; then
        echo "test-package: FAILED: the test changed what is installed (above)" >&2
        status=1
    else
        echo "test-package: after: $(head -n 1 "$work/after") (unchanged)"
    fi
    rm -rf "$work"
    exit "$status"
}
trap finish EXIT

# Debian's own checks: errors and warnings fail, notes (I:) are only shown.
lintian --fail-on error,warning --display-info "$deb" 2> >(grep -v "root privileges" >&2) |
    tee "$work/lintian.txt" || fail "lintian (above)"
! grep -qE '^[EW]: ' "$work/lintian.txt" || fail "lintian reports errors or warnings (above)"
step "lintian: no errors, no warnings"
# Every dependency can be installed from this machine's sources (nothing is changed).
apt-get install -s -q "$deb" >"$work/apt.txt" 2>&1 || {
    cat "$work/apt.txt" >&2
    fail "apt cannot resolve the package's dependencies"
}

root=$work/root
share=$root/usr/share
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$share/applications/tafelix.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$share/metainfo/"*.metainfo.xml >/dev/null ||
    fail "appstreamcli validate"
outside=$(find "$root" -mindepth 1 -maxdepth 1 ! -name usr)
[[ -z $outside ]] || fail "files outside /usr: $outside"
depends=$(dpkg-deb -f "$deb" Depends)
for d in xdg-utils fonts-liberation2 libqt6widgets6 libjpeg62-turbo; do
    [[ $depends == *"$d"* ]] || fail "Depends lacks $d: $depends"
done
recommends=$(dpkg-deb -f "$deb" Recommends)
# Native on a Wayland desktop rather than through XWayland.
[[ $recommends == *qt6-wayland* ]] || fail "Recommends lacks qt6-wayland: $recommends"
# The about box, the package and the metainfo name one homepage (the about box holds its text
# as UTF-16, as Qt's string literals are).
homepage=$(dpkg-deb -f "$deb" Homepage)
grep -qF "<url type=\"homepage\">$homepage</url>" "$share/metainfo/"*.metainfo.xml ||
    fail "the metainfo names another homepage than the package's $homepage"
/usr/bin/python3 -c 'import sys; sys.exit(sys.argv[2].encode("utf-16-le") not in open(sys.argv[1], "rb").read())' \
    "$root/usr/bin/tafelix" "$homepage" || fail "the about box does not name the package's homepage $homepage"
for page in tafelix tafelix-convert; do
    zcat "$share/man/man1/$page.1.gz" | grep -q '^\.SH SEE ALSO' || fail "man $page has no SEE ALSO"
done
step "dependencies resolve; desktop entry, metainfo, Depends, Recommends, homepage and manual pages are fine"

tafelix=$root/usr/bin/tafelix
# No display at all: these two must not need one.
headless=(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb)
version=$("${headless[@]}" "$tafelix" --version) || fail "tafelix --version exits non-zero"
[[ $version =~ ^Tafelix\ [0-9]+\.[0-9]+ ]] || fail "tafelix --version printed '$version'"
"${headless[@]}" "$tafelix" --help | grep -q "Aufruf: tafelix" || fail "tafelix --help"
step "unpacked into a throwaway root; $version; --help works"

home=$work/home
mkdir -p "$home"
# The learner's session: the throwaway root's programs and data first, a GNOME-like desktop,
# so that xdg-mime and xdg-open ask the desktop's own MIME and launch code (GIO).
session=(env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" PATH="$root/usr/bin:$PATH"
    XDG_DATA_DIRS="$share:/usr/share" XDG_CURRENT_DESKTOP=GNOME)
# The desktop as the package's triggers leave it: the MIME database rebuilt from
# mime/packages, the menu's index of which entry opens which type.
"${session[@]}" update-mime-database "$share/mime"
"${session[@]}" update-desktop-database "$share/applications"

# Starts Tafelix by "$@" in the learner's session under a fresh X server, waits until its
# main window is mapped (and, when `expect_file` is set, until that file exists), keeps the
# window's program and command line in $work/started, then ends the program with SIGTERM.
# A display the program cannot reach is no result, and a fresh X server is tried.
start_once() {
    local attempt status
    for attempt in 1 2 3; do
        status=5
        if start_xvfb; then
            status=0
            "${session[@]}" DISPLAY="$xvfb_display" QT_QPA_PLATFORM=xcb log="$work/program.log" \
                started="$work/started" expect_file="${expect_file:-}" \
                dbus-run-session -- bash -c '
                "$@" >"$log" 2>&1 & launcher=$!
                win="" launched=""
                for _ in $(seq 300); do
                    win=$(xdotool search --onlyvisible --name "^Tafelix$" 2>/dev/null | head -n 1) || true
                    [[ -n $win ]] && break
                    grep -q "could not connect to display" "$log" && exit 5
                    # The program itself, or a launcher that failed: gone without a window.
                    if [[ -z $launched ]] && ! kill -0 "$launcher" 2>/dev/null; then
                        wait "$launcher" || exit 3
                        launched=yes
                    fi
                    sleep 0.1
                done
                [[ -n $win ]] || { kill "$launcher" 2>/dev/null; exit 4; }
                pid=$(xdotool getwindowpid "$win")
                if [[ -n $expect_file ]]; then
                    for _ in $(seq 100); do [[ -e $expect_file ]] && break; sleep 0.1; done
                fi
                { readlink "/proc/$pid/exe"; tr "\0" "\n" <"/proc/$pid/cmdline"; } >"$started"
                kill "$pid"
                while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done' _ "$@" 2>"$work/session.log" ||
                status=$?
        fi
        stop_xvfb
        case $status in
        0) return 0 ;;
        5) continue ;;
        3) cat "$work/program.log" >&2; fail "the program ended before its window appeared" ;;
        4) cat "$work/program.log" >&2; fail "the program showed no window" ;;
        *) cat "$work/session.log" >&2; fail "the start under Xvfb ended with $status" ;;
        esac
    done
    cat "$work/xvfb.log" >&2
    fail "no X server could be used"
}

start_once "$tafelix"
folder=$home/Tafelix
template=$share/tafelix/template
for f in SysDat/Init.dat SysDat/Statistik.dat SysDat/plop.wav SysDat/conk.wav SysDat/emblem.jpg \
    Vokabeln/Beispiel.vkb helpfiles/index.htm; do
    cmp -s "$template/$f" "$folder/$f" || fail "~/Tafelix/$f was not copied from the template"
done
[[ -d $folder/Ausgabe ]] || fail "~/Tafelix/Ausgabe is missing"
step "the first start made ~/Tafelix from the template"

# The learner's files survive a second start; only what is missing comes back.
printf 'VKB Vokabeldatei\r\nmine\r\n' >"$folder/Vokabeln/Beispiel.vkb"
rm "$folder/helpfiles/index.htm"
start_once "$tafelix"
[[ $(cat "$folder/Vokabeln/Beispiel.vkb") == $'VKB Vokabeldatei\r\nmine\r' ]] ||
    fail "a second start replaced the learner's Beispiel.vkb"
cmp -s "$template/helpfiles/index.htm" "$folder/helpfiles/index.htm" ||
    fail "a second start did not fill in the missing help page"
step "a second start kept the learner's files and filled in the missing one"

# A word list is known by its name, and by its first line when the name says nothing.
lists=$work/Listen
mkdir -p "$lists"
cp "$template/Vokabeln/Beispiel.vkb" "$lists/Liste.vkb"
cp "$template/Vokabeln/Beispiel.vkb" "$lists/Liste ohne Endung"
for f in "$lists/Liste.vkb" "$lists/Liste ohne Endung"; do
    type=$("${session[@]}" xdg-mime query filetype "$f")
    [[ $type == application/x-tafelix-vkb ]] ||
        fail "xdg-mime query filetype '$(basename "$f")' says '$type'"
done
default=$("${session[@]}" xdg-mime query default application/x-tafelix-vkb)
[[ $default == tafelix.desktop ]] || fail "the default for .vkb is '$default'"
step "xdg-mime: Liste.vkb and a list without extension are application/x-tafelix-vkb, opened by $default"

# Opened as a file manager opens it: Tafelix starts with the list, which it shows that it
# read by writing the list's .bkp beside it.
expect_file="$lists/Liste.bkp" start_once xdg-open "$lists/Liste.vkb"
[[ $(sed -n 1p "$work/started") == "$tafelix" ]] ||
    fail "xdg-open started $(sed -n 1p "$work/started"), not $tafelix"
grep -qxF "$lists/Liste.vkb" "$work/started" || fail "xdg-open started: $(cat "$work/started")"
[[ -f $lists/Liste.bkp ]] || fail "Tafelix started by xdg-open did not open Liste.vkb"
step "xdg-open Liste.vkb started $(tr '\n' ' ' <"$work/started")and opened the list"

# The same test once more with a tafelix installed, as a learner who runs the tests has it:
# that copy must come out exactly as it went in. On a machine without one (CI), this run puts
# the package in place for that second test and takes it out again afterwards, whatever
# happens, so the machine ends as it began. Without root there is nothing to install with.
if [[ -z ${TAFELIX_PACKAGE_TEST_INSTALLED:-} ]] && ! dpkg-query -W tafelix >/dev/null 2>&1; then
    if ((EUID != 0)); then
        step "SKIP: the test with an installed tafelix needs root to install and remove one"
        exit 0
    fi
    # Keeps the script's status for finish(), which reads it as its own.
    remove_copy() {
        local status=$?
        set +e
        dpkg --purge tafelix >"$work/purge.txt" 2>&1 || cat "$work/purge.txt" >&2
        return "$status"
    }
    trap 'remove_copy; finish' EXIT
    dpkg -i "$deb" >"$work/install.txt" 2>&1 || { cat "$work/install.txt" >&2; fail "dpkg -i $deb"; }
    step "installed $(dpkg-query -W -f='${Package} ${Version}' tafelix) for the test with an installed copy"
    TAFELIX_PACKAGE_TEST_INSTALLED=1 bash "$0" "$build" ||
        fail "the test with an installed tafelix (above)"
    step "an installed tafelix is unchanged after the package test"
fi
