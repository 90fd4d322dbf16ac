#!/usr/bin/env bash
# Two computers, one program folder kept in sync by two real Syncthing instances on the
# loopback interface: what both learnt while the link was down ends up in the list and the log.
#
# Usage: test_sync.sh <tafelix-executable> <program-folder> [<source-dir>]
# Needs TAFELIX_SYNC_PROBE (set by CTest). Exit 77 (skipped) when syncthing is not installed.
set -euo pipefail
if ! command -v syncthing >/dev/null; then
    echo "SKIP: syncthing is not installed"
    exit 77
fi
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/sync_two_computers.py" "${TAFELIX_SYNC_PROBE:?}" "$2" "$work"
