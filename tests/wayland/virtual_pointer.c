/* zovex_virtual_pointer: a mouse for a compositor that has none (a headless seat), through the
 * wlroots virtual-pointer protocol, so that presses reach native and Xwayland windows the way
 * a real mouse's do.
 *
 * Commands come from the command line, or, without arguments, one per line from standard
 * input (then the pointer stays the same device between commands, as a mouse held down does):
 *   move-abs X Y   the pointer to (X, Y) in the layout's logical pixels
 *   press          left button down
 *   release        left button up
 *   press-right / release-right
 *   click          press and release
 * Each command is answered on standard output with "ok" once the compositor has seen it, or
 * with "error: ..." (and exit code 1 from the command line). The layout's logical size is the
 * union of the outputs, each output's current mode divided by its scale. */
#define _POSIX_C_SOURCE 200809L
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

struct output {
    int32_t x, y, width, height, scale;
};

enum { MAX_OUTPUTS = 8 };

static struct zwlr_virtual_pointer_manager_v1* manager;
static struct wl_seat* seat;
static struct output outputs[MAX_OUTPUTS];
static int output_count;

static void on_geometry(void* data, struct wl_output* o, int32_t x, int32_t y, int32_t pw, int32_t ph, int32_t sub,
                        const char* make, const char* model, int32_t transform)
{
    (void)o, (void)pw, (void)ph, (void)sub, (void)make, (void)model, (void)transform;
    struct output* out = data;
    out->x = x;
    out->y = y;
}

static void on_mode(void* data, struct wl_output* o, uint32_t flags, int32_t width, int32_t height, int32_t refresh)
{
    (void)o, (void)refresh;
    struct output* out = data;
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        out->width = width;
        out->height = height;
    }
}

static void on_done(void* data, struct wl_output* o) { (void)data, (void)o; }

static void on_scale(void* data, struct wl_output* o, int32_t factor)
{
    (void)o;
    struct output* out = data;
    out->scale = factor;
}

static const struct wl_output_listener output_listener = {
    .geometry = on_geometry, .mode = on_mode, .done = on_done, .scale = on_scale};

static void on_global(void* data, struct wl_registry* registry, uint32_t name, const char* interface, uint32_t version)
{
    (void)data, (void)version;
    if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    } else if (strcmp(interface, wl_seat_interface.name) == 0 && !seat) {
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    } else if (strcmp(interface, wl_output_interface.name) == 0 && output_count < MAX_OUTPUTS) {
        struct output* out = &outputs[output_count++];
        out->scale = 1;
        struct wl_output* o = wl_registry_bind(registry, name, &wl_output_interface, version < 2 ? version : 2);
        wl_output_add_listener(o, &output_listener, out);
    }
}

static void on_global_remove(void* data, struct wl_registry* registry, uint32_t name)
{
    (void)data, (void)registry, (void)name;
}

static const struct wl_registry_listener registry_listener = {.global = on_global, .global_remove = on_global_remove};

static uint32_t now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

/* The layout's logical extent: the union of the outputs, each mode divided by its scale. */
static void layout_extent(uint32_t* width, uint32_t* height)
{
    int32_t right = 1, bottom = 1;
    for (int i = 0; i < output_count; ++i) {
        const int32_t s = outputs[i].scale > 0 ? outputs[i].scale : 1;
        if (outputs[i].x + outputs[i].width / s > right)
            right = outputs[i].x + outputs[i].width / s;
        if (outputs[i].y + outputs[i].height / s > bottom)
            bottom = outputs[i].y + outputs[i].height / s;
    }
    *width = (uint32_t)right;
    *height = (uint32_t)bottom;
}

static int button(struct zwlr_virtual_pointer_v1* p, uint32_t code, enum wl_pointer_button_state state)
{
    zwlr_virtual_pointer_v1_button(p, now_ms(), code, state);
    zwlr_virtual_pointer_v1_frame(p);
    return 0;
}

/* Runs one command given as words; 0 when done, else a message in `error`. */
static int run(struct wl_display* display, struct zwlr_virtual_pointer_v1* p, char** words, int n, const char** error)
{
    if (n == 0) {
        *error = "empty command";
        return -1;
    }
    if (strcmp(words[0], "move-abs") == 0) {
        if (n != 3) {
            *error = "move-abs takes X and Y";
            return -1;
        }
        char* end1;
        char* end2;
        const long x = strtol(words[1], &end1, 10);
        const long y = strtol(words[2], &end2, 10);
        uint32_t w, h;
        layout_extent(&w, &h);
        if (*end1 || *end2 || x < 0 || y < 0 || (uint32_t)x >= w || (uint32_t)y >= h) {
            *error = "the point is not on the layout";
            return -1;
        }
        zwlr_virtual_pointer_v1_motion_absolute(p, now_ms(), (uint32_t)x, (uint32_t)y, w, h);
        zwlr_virtual_pointer_v1_frame(p);
    } else if (strcmp(words[0], "press") == 0) {
        button(p, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
    } else if (strcmp(words[0], "release") == 0) {
        button(p, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    } else if (strcmp(words[0], "press-right") == 0) {
        button(p, BTN_RIGHT, WL_POINTER_BUTTON_STATE_PRESSED);
    } else if (strcmp(words[0], "release-right") == 0) {
        button(p, BTN_RIGHT, WL_POINTER_BUTTON_STATE_RELEASED);
    } else if (strcmp(words[0], "click") == 0) {
        button(p, BTN_LEFT, WL_POINTER_BUTTON_STATE_PRESSED);
        button(p, BTN_LEFT, WL_POINTER_BUTTON_STATE_RELEASED);
    } else {
        *error = "unknown command (move-abs X Y, press, release, press-right, release-right, click)";
        return -1;
    }
    if (wl_display_roundtrip(display) < 0) {
        *error = "the compositor went away";
        return -1;
    }
    return 0;
}

int main(int argc, char** argv)
{
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "zovex_virtual_pointer: cannot connect to the Wayland display\n");
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    wl_display_roundtrip(display);
    if (!manager) {
        fprintf(stderr, "zovex_virtual_pointer: the compositor offers no zwlr_virtual_pointer_manager_v1\n");
        return 1;
    }
    struct zwlr_virtual_pointer_v1* p = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    wl_display_roundtrip(display);

    int status = 0;
    const char* error = NULL;
    if (argc > 1) {
        /* Words of several commands in a row: each command starts with its name. */
        int i = 1;
        while (i < argc && status == 0) {
            int n = strcmp(argv[i], "move-abs") == 0 ? 3 : 1;
            if (i + n > argc)
                n = argc - i;
            status = run(display, p, argv + i, n, &error);
            i += n;
        }
        if (status != 0)
            fprintf(stderr, "zovex_virtual_pointer: %s\n", error);
    } else {
        char line[256];
        setvbuf(stdout, NULL, _IOLBF, 0);
        while (fgets(line, sizeof line, stdin)) {
            char* words[4];
            int n = 0;
            for (char* w = strtok(line, " \t\r\n"); w && n < 4; w = strtok(NULL, " \t\r\n"))
                words[n++] = w;
            if (run(display, p, words, n, &error) == 0) {
                puts("ok");
            } else {
                printf("error: %s\n", error);
                status = 1;
            }
        }
    }
    zwlr_virtual_pointer_v1_destroy(p);
    zwlr_virtual_pointer_manager_v1_destroy(manager);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return status;
}
