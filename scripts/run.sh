#!/usr/bin/env bash
# Installs what is missing, builds Tafelix, puts its program folder under ~/Tafelix (or the
# folder given as the first argument), adds a menu entry, and starts it.
# The learner's own files in an existing program folder (settings, statistics, word lists)
# are never replaced.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
prefix=${1:-$HOME/Tafelix}

bash "$here/scripts/install-deps.sh"
cmake --preset default -S "$here" >/dev/null
cmake --build "$here/build" -j"$(nproc)" --target tafelix
cmake --install "$here/build" --prefix "$prefix"

apps=${XDG_DATA_HOME:-$HOME/.local/share}/applications
mkdir -p "$apps"
sed -e "s|@TAFELIX_EXEC@|\"$prefix/tafelix\"|" -e "s|@TAFELIX_ICON@|$prefix/SysDat/tafelix.png|" \
    "$here/data/tafelix.desktop.in" >"$apps/tafelix.desktop"

shift $(( $# > 0 ? 1 : 0 ))
exec "$prefix/tafelix" "$@"
