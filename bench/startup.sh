#!/usr/bin/env bash
# Start-up time and memory: from process start to the main window mapped and first painted,
# and the peak RSS, for Tafelix with a 9999-word file (every text 100 characters, about 4 MB)
# against two minimal Qt programs: a main window with a menu and a status-bar label (the
# yardstick: any window with text pays for fontconfig and a font) and an empty QMainWindow
# (for reference). All run under the same Xvfb server with the xcb platform, interleaved, and
# are timed by the same watcher, which starts the program itself and waits for the X server
# to report the window with the expected title as mapped (an event, not a polling loop).
# It then reports when the window was first painted (its corner turns from the black root
# to the window colour) and the resident memory of each program at two moments: at that
# first paint, and settled, 2.5 s later with the program idle, which is what a learner's
# machine carries while the list is open. Medians.
#
# Usage: bash bench/startup.sh [build-dir [other-tafelix...]]   (default: build; RUNS=n sets
# the runs, 15). Each further tafelix executable (in a program folder of its own, e.g. a copy
# of <build>/Tafelix) is run interleaved with the others as one more case, to compare builds.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

build=$(realpath "${1:-build}")
tafelix="$build/Tafelix/tafelix"
empty="$build/bench/empty_window"
menu="$build/bench/menu_window"
others=("${@:2}")
runs=${RUNS:-15}
paint_target=1.4
settled_target=1.3

for f in "$tafelix" "$empty" "$menu" "${others[@]}"; do
    [[ -x $f ]] || { echo "missing $f: build tafelix, menu_window and empty_window first" >&2; exit 1; }
done
for tool in Xvfb cc python3; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done
[[ -f /usr/include/X11/Xlib.h ]] || { echo "missing the Xlib headers (libx11-dev)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tafelix-startup.XXXXXX")
xvfb_pid=""
source "$here/../tests/system/xserver.sh"
cleanup() {
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# ---- the watcher: starts a program and prints the milliseconds until a top-level window
# with the given title is mapped and until it is first painted, the program's resident
# memory in kB right then, and again after a hold with the program left alone.
cat >"$work/mapwait.c" <<'EOF'
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

/* A window may vanish between its map and our look at it. */
static int ignore_errors(Display *d, XErrorEvent *e) { (void)d; (void)e; return 0; }

/* VmRSS of a running process, in kB. */
static long rss_kb(pid_t pid)
{
    char path[64], line[256];
    long kb = -1;
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE *f = fopen(path, "r");
    if (!f) return -1;
    while (fgets(line, sizeof line, f))
        if (sscanf(line, "VmRSS: %ld", &kb) == 1) break;
    fclose(f);
    return kb;
}

static int has_title(Display *d, Window w, const char *title)
{
    Atom names[2] = {XInternAtom(d, "_NET_WM_NAME", False), XA_WM_NAME};
    for (int i = 0; i < 2; ++i) {
        Atom type; int format; unsigned long n, after; unsigned char *data = NULL;
        if (XGetWindowProperty(d, w, names[i], 0, 256, False, AnyPropertyType, &type, &format,
                               &n, &after, &data) == Success && data) {
            int same = n == strlen(title) && memcmp(data, title, n) == 0;
            XFree(data);
            if (same) return 1;
        }
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc < 5) { fprintf(stderr, "usage: mapwait TITLE TIMEOUT_MS HOLD_MS PROGRAM [ARGS]\n"); return 2; }
    const char *title = argv[1];
    double timeout = atof(argv[2]);
    int hold = atoi(argv[3]);
    Display *d = XOpenDisplay(NULL);
    if (!d) { fprintf(stderr, "no X display\n"); return 2; }
    XSetErrorHandler(ignore_errors);
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    XSync(d, False);

    double t0 = now_ms();
    pid_t pid = fork();
    if (pid == 0) {
        close(ConnectionNumber(d));
        execv(argv[4], argv + 4);
        _exit(127);
    }
    double t1 = -1;
    Window win = 0;
    int status;
    while (t1 < 0) {
        while (t1 < 0 && XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
            if (e.type == MapNotify && has_title(d, e.xmap.window, title)) {
                t1 = now_ms();
                win = e.xmap.window;
            }
        }
        if (t1 >= 0) break;
        if (waitpid(pid, &status, WNOHANG) == pid) { fprintf(stderr, "%s ended before its window appeared\n", argv[4]); return 1; }
        if (now_ms() - t0 > timeout) { kill(pid, SIGKILL); waitpid(pid, &status, 0); fprintf(stderr, "no window '%s'\n", title); return 1; }
        struct pollfd p = {ConnectionNumber(d), POLLIN, 0};
        poll(&p, 1, 5);
    }
    /* The root is black (Xvfb -br); the first paint gives the corner the window colour. */
    double t2 = -1;
    while (t2 < 0 && now_ms() - t1 < 5000) {
        XImage *img = XGetImage(d, win, 2, 2, 1, 1, AllPlanes, ZPixmap);
        if (img) {
            if (XGetPixel(img, 0, 0) != 0) t2 = now_ms();
            XDestroyImage(img);
        }
        if (t2 < 0) usleep(250);
    }
    if (t2 < 0) { kill(pid, SIGKILL); waitpid(pid, &status, 0); fprintf(stderr, "window '%s' never painted\n", title); return 1; }
    long at_paint = rss_kb(pid);
    usleep((useconds_t)hold * 1000);
    long settled = rss_kb(pid);
    kill(pid, SIGTERM);
    waitpid(pid, &status, 0);
    if (at_paint < 0 || settled < 0) { fprintf(stderr, "%s ended too early\n", argv[4]); return 1; }
    printf("%.1f %.1f %ld %ld\n", t1 - t0, t2 - t0, at_paint, settled);
    return 0;
}
EOF
cc -O2 -o "$work/mapwait" "$work/mapwait.c" -lX11

# ---- the 9999-word file
python3 "$here/full_list.py" "$work/Gross.vkb"

# ---- one X server for every run
start_xvfb -br || { cat "$work/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=$xvfb_display
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Settled: 2.5 s after the first paint, idle; whatever the program loads after its first
# paint by itself has arrived by then.
measure() { "$work/mapwait" "$1" 20000 2500 "${@:2}"; }
case_names=("tafelix, 9999 words" "menu and label" "empty QMainWindow")
for o in "${others[@]}"; do case_names+=("$(basename "$(dirname "$o")"), 9999 words"); done
run_case() {
    case $1 in
        0) measure Tafelix "$tafelix" "$work/Gross.vkb" ;;
        1) measure Menu "$menu" ;;
        2) measure Leer "$empty" ;;
        *) measure Tafelix "${others[$1 - 3]}" "$work/Gross.vkb" ;;
    esac
}
cases=$(seq 0 $((${#case_names[@]} - 1)))

# Warm the page cache and the font cache, then interleave the cases so that any drift of
# the machine hits all of them alike.
for c in $cases; do run_case "$c" >/dev/null; done
for ((r = 0; r < runs; ++r)); do
    for c in $cases; do
        run_case "$c" >>"$work/case$c"
    done
done

python3 - "$work" "$paint_target" "$settled_target" "${case_names[@]}" <<'EOF'
import statistics, sys
work, paint_target, settled_target = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
names = sys.argv[4:]
painted, at_paint, settled = [], [], []
print(f"{'':<20} {'first paint: median (min-max)':>34} {'RSS at paint':>13} {'RSS settled':>12}")
for c, name in enumerate(names):
    rows = [tuple(map(float, line.split())) for line in open(f"{work}/case{c}")]
    ps = sorted(r[1] for r in rows)
    painted.append(statistics.median(ps))
    at_paint.append(statistics.median(r[2] for r in rows) / 1024)
    settled.append(statistics.median(r[3] for r in rows) / 1024)
    print(f"{name:<20} {painted[-1]:8.1f} ms ({ps[0]:5.1f}-{ps[-1]:5.1f}, n={len(ps)})"
          f" {at_paint[-1]:9.1f} MiB {settled[-1]:8.1f} MiB")
def verdict(ratio, target):
    return f"{ratio:.2f} (target <= {target}: {'met' if ratio <= target else 'MISSED'})"
print(f"tafelix with file / menu and label: first paint {verdict(painted[0] / painted[1], paint_target)}, "
      f"RSS at paint {at_paint[0] / at_paint[1]:.2f}, "
      f"RSS settled {verdict(settled[0] / settled[1], settled_target)}")
print(f"tafelix with file / empty window:   first paint {painted[0] / painted[2]:.2f}, "
      f"RSS at paint {at_paint[0] / at_paint[2]:.2f}, RSS settled {settled[0] / settled[2]:.2f}")
EOF
