#!/usr/bin/env bash
# Installs what is missing, builds Tafelix, puts its program folder under ~/Tafelix (or the
# folder given as the first argument), adds a menu entry, and starts it.
# The learner's own files in an existing program folder (settings, statistics, word lists)
# are never replaced. Tafelix is a desktop program: this needs a graphical session.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
prefix=${1:-$HOME/Tafelix}

# Without a display the build would take minutes and end in Qt's advice to reinstall the
# application; say what is missing before anything is installed or built.
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    cat >&2 <<'TEXT'
run.sh: Tafelix braucht eine grafische Sitzung (X11 oder Wayland), aber DISPLAY und
WAYLAND_DISPLAY sind leer. Bitte run.sh in einem Terminal der Desktop-Sitzung starten oder
über eine SSH-Verbindung mit X-Weiterleitung (ssh -X). Nichts wurde installiert oder gebaut.
run.sh: Tafelix needs a desktop session (X11 or Wayland), but DISPLAY and WAYLAND_DISPLAY are
empty. Run run.sh from a terminal in your desktop session or over ssh -X. Nothing was
installed or built.
TEXT
    exit 2
fi

bash "$here/scripts/install-deps.sh"
cmake --preset default -S "$here" >/dev/null
cmake --build "$here/build" -j"$(nproc)" --target tafelix
cmake --install "$here/build" --prefix "$prefix"

apps=${XDG_DATA_HOME:-$HOME/.local/share}/applications
mkdir -p "$apps"
sed -e "s|@TAFELIX_EXEC@|\"$prefix/tafelix\"|" -e "s|@TAFELIX_ICON@|$prefix/SysDat/tafelix.png|" \
    "$here/data/tafelix.desktop.in" >"$apps/tafelix.desktop"
# The .vkb file type for this user, so that the file manager opens word lists with Tafelix.
mime=${XDG_DATA_HOME:-$HOME/.local/share}/mime
mkdir -p "$mime/packages"
cp "$here/data/tafelix-mime.xml" "$mime/packages/tafelix.xml"
if command -v update-mime-database >/dev/null; then update-mime-database "$mime"; fi
if command -v update-desktop-database >/dev/null; then update-desktop-database "$apps"; fi

shift $(( $# > 0 ? 1 : 0 ))
exec "$prefix/tafelix" "$@"
