// A fault for the tray tests, preloaded into the program: the first
// LATE_BUS_CALLS (default 1) calls of g_bus_get made from outside GLib (the
// tray library's own connection to the session bus) report their result
// LATE_BUS_MS milliseconds late (default 500). That is what a start-up on a
// busy machine can do by chance: the library's watch on the tray host's name
// fires before its connection has arrived, and an item made at that moment
// never registers with the host.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <gio/gio.h>
#include <stdlib.h>
#include <string.h>

typedef void (*BusGetFunction)(GBusType, GCancellable*, GAsyncReadyCallback, gpointer);

typedef struct {
    GAsyncReadyCallback callback;
    gpointer user_data;
    GObject* source;
    GAsyncResult* result;
} LateResult;

static gboolean late_bus_deliver(gpointer data) {
    LateResult* late = data;
    late->callback(late->source, late->result, late->user_data);
    g_object_unref(late->result);
    if (late->source != NULL) g_object_unref(late->source);
    g_free(late);
    return G_SOURCE_REMOVE;
}

static void late_bus_hold(GObject* source, GAsyncResult* result, gpointer data) {
    LateResult* late = data;
    late->source = source != NULL ? g_object_ref(source) : NULL;
    late->result = g_object_ref(result);
    const char* text = getenv("LATE_BUS_MS");
    g_timeout_add(text != NULL ? (guint)atoi(text) : 500u, late_bus_deliver, late);
}

static int late_bus_calls;  // only the main thread calls it here

void g_bus_get(GBusType bus_type, GCancellable* cancellable, GAsyncReadyCallback callback, gpointer user_data) {
    void* symbol = dlsym(RTLD_NEXT, "g_bus_get");
    BusGetFunction real;
    memcpy(&real, &symbol, sizeof real);  // ISO C has no cast between the two kinds of pointer
    const char* limit = getenv("LATE_BUS_CALLS");
    if (late_bus_calls++ >= (limit != NULL ? atoi(limit) : 1)) {
        real(bus_type, cancellable, callback, user_data);
        return;
    }
    LateResult* late = g_new0(LateResult, 1);
    late->callback = callback;
    late->user_data = user_data;
    real(bus_type, cancellable, late_bus_hold, late);
}
