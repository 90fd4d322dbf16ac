/* Times one action the way a learner meets it: from the mouse click the X server is given
 * (through XTest) to the last change of the screen that follows it (seen through the Damage
 * extension on the root window, so every window and every repaint counts). Before each run
 * it clicks a "back" point, so that every run does the same work, and it rests the pointer
 * on the button first, so that the hover highlight is not counted.
 *
 * Usage: x_repaint RUNS BACK_X BACK_Y ACTION_X ACTION_Y
 * Prints each run in milliseconds, then the median and the worst.
 * Build: cc -O2 x_repaint.c -lX11 -lXtst -lXdamage -o x_repaint
 */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double now_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec / 1e6;
}

static Display *d;
static int damage_event;

/* Waits until the screen has not changed for `quiet` ms (or `limit` ms have passed) and
 * returns the time of the last change, or `since` when nothing changed. */
static double settle(double since, double quiet, double limit)
{
    double last = since;
    for (;;) {
        while (XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
            if (e.type == damage_event + XDamageNotify)
                last = now_ms();
        }
        double t = now_ms();
        if (t - last >= quiet || t - since >= limit)
            return last;
        struct pollfd p = {ConnectionNumber(d), POLLIN, 0};
        poll(&p, 1, 1);
    }
}

static void move_to(int x, int y)
{
    XTestFakeMotionEvent(d, -1, x, y, CurrentTime);
    XFlush(d);
}

static void click(void)
{
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XFlush(d);
}

static int by_value(const void *a, const void *b)
{
    double x = *(const double *)a, y = *(const double *)b;
    return (x > y) - (x < y);
}

int main(int argc, char **argv)
{
    if (argc != 6) {
        fprintf(stderr, "usage: x_repaint RUNS BACK_X BACK_Y ACTION_X ACTION_Y\n");
        return 2;
    }
    int runs = atoi(argv[1]);
    int bx = atoi(argv[2]), by = atoi(argv[3]), ax = atoi(argv[4]), ay = atoi(argv[5]);
    if (runs < 1)
        runs = 1;
    d = XOpenDisplay(NULL);
    int damage_error, xtest_event, xtest_error, major, minor;
    if (!d || !XDamageQueryExtension(d, &damage_event, &damage_error) ||
        !XTestQueryExtension(d, &xtest_event, &xtest_error, &major, &minor)) {
        fprintf(stderr, "no X display with the Damage and XTest extensions\n");
        return 2;
    }
    XDamageCreate(d, DefaultRootWindow(d), XDamageReportRawRectangles);
    XSync(d, False);

    double *ms = calloc((size_t)runs, sizeof *ms);
    for (int i = 0; i < runs; ++i) {
        move_to(bx, by);
        settle(now_ms(), 150, 2000);
        click();
        settle(now_ms(), 300, 5000);
        move_to(ax, ay);
        settle(now_ms(), 150, 2000);
        double t0 = now_ms();
        click();
        /* Quiet for 300 ms means done: a frame is 16 ms, and a tooltip would need 700. */
        ms[i] = settle(t0, 300, 5000) - t0;
        printf("%.1f\n", ms[i]);
        fflush(stdout);
    }
    qsort(ms, (size_t)runs, sizeof *ms, by_value);
    printf("median %.1f ms, worst %.1f ms\n", ms[runs / 2], ms[runs - 1]);
    free(ms);
    XCloseDisplay(d);
    return 0;
}
