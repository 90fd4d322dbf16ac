#!/usr/bin/env bash
# Builds the Debian package and tries it the way a learner gets it: validates its desktop
# entry and metainfo, installs it with apt, asks the installed program for --version and
# --help without a display, starts it in a fresh home folder under Xvfb and checks that
# ~/Tafelix was made from the template (and, on a second start, that nothing of the learner's
# was replaced), then removes the package and checks that the learner's folder stayed.
# Needs root or sudo; it leaves tafelix uninstalled. Usage: scripts/test-package.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
lock=(-o DPkg::Lock::Timeout=600)
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

work=$(mktemp -d)
xvfb_pid=""
source "$here/tests/system/xserver.sh"
trap 'stop_xvfb; rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/tafelix.desktop" ||
    fail "desktop-file-validate"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/"*.metainfo.xml >/dev/null ||
    fail "appstreamcli validate"
outside=$(find "$work/root" -mindepth 1 -maxdepth 1 ! -name usr)
[[ -z $outside ]] || fail "files outside /usr: $outside"
depends=$(dpkg-deb -f "$deb" Depends)
for d in xdg-utils fonts-liberation2 libqt6widgets6 libjpeg62-turbo; do
    [[ $depends == *"$d"* ]] || fail "Depends lacks $d: $depends"
done
step "desktop entry, metainfo and Depends are fine"

DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get "${lock[@]}" install -y -q "$deb" >/dev/null
[[ -x /usr/bin/tafelix ]] || fail "/usr/bin/tafelix is missing after apt install"
# No display at all: these two must not need one.
headless=(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb)
version=$("${headless[@]}" tafelix --version) || fail "tafelix --version exits non-zero"
[[ $version =~ ^Tafelix\ [0-9]+\.[0-9]+ ]] || fail "tafelix --version printed '$version'"
"${headless[@]}" tafelix --help | grep -q "Aufruf: tafelix" || fail "tafelix --help"
step "installed; $version; --help works"

home=$work/home
mkdir -p "$home"
# Starts the installed program with $home as the home folder, waits until its main window is
# mapped, then ends it with SIGTERM. A display the program cannot reach is no result, and a
# fresh X server is tried.
start_once() {
    local attempt status
    for attempt in 1 2 3; do
        status=5
        if start_xvfb; then
            status=0
            HOME=$home DISPLAY=$xvfb_display QT_QPA_PLATFORM=xcb log="$work/program.log" bash -c '
                tafelix >"$log" 2>&1 & pid=$!
                for _ in $(seq 300); do
                    xdotool search --onlyvisible --name "^Tafelix$" >/dev/null 2>&1 && break
                    if ! kill -0 "$pid" 2>/dev/null; then
                        grep -q "could not connect to display" "$log" && exit 5
                        exit 3
                    fi
                    sleep 0.1
                done
                xdotool search --onlyvisible --name "^Tafelix$" >/dev/null 2>&1 || { kill "$pid"; exit 4; }
                kill "$pid"; wait "$pid" 2>/dev/null; exit 0' || status=$?
        fi
        stop_xvfb
        case $status in
        0) return 0 ;;
        5) continue ;;
        3) cat "$work/program.log" >&2; fail "the installed program ended before its window appeared" ;;
        4) fail "the installed program showed no window" ;;
        *) fail "the start under Xvfb ended with $status" ;;
        esac
    done
    cat "$work/xvfb.log" >&2
    fail "no X server could be used"
}

start_once
folder=$home/Tafelix
template=/usr/share/tafelix/template
for f in SysDat/Init.dat SysDat/Statistik.dat SysDat/plop.wav SysDat/conk.wav SysDat/emblem.jpg \
    Vokabeln/Beispiel.vkb helpfiles/index.htm; do
    cmp -s "$template/$f" "$folder/$f" || fail "~/Tafelix/$f was not copied from the template"
done
[[ -d $folder/Ausgabe ]] || fail "~/Tafelix/Ausgabe is missing"
step "the first start made ~/Tafelix from the template"

# The learner's files survive a second start; only what is missing comes back.
printf 'VKB Vokabeldatei\r\nmine\r\n' >"$folder/Vokabeln/Beispiel.vkb"
rm "$folder/helpfiles/index.htm"
start_once
[[ $(cat "$folder/Vokabeln/Beispiel.vkb") == $'VKB Vokabeldatei\r\nmine\r' ]] ||
    fail "a second start replaced the learner's Beispiel.vkb"
cmp -s "$template/helpfiles/index.htm" "$folder/helpfiles/index.htm" ||
    fail "a second start did not fill in the missing help page"
step "a second start kept the learner's files and filled in the missing one"

DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get "${lock[@]}" remove -y -q tafelix >/dev/null
[[ ! -e /usr/bin/tafelix && ! -e $template ]] || fail "apt remove left the program behind"
[[ -f $folder/SysDat/Init.dat && -f $folder/Vokabeln/Beispiel.vkb ]] ||
    fail "apt remove touched the learner's ~/Tafelix"
step "removed; the learner's ~/Tafelix is still there"
