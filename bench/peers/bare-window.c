// SPDX-License-Identifier: MIT
// A bare GTK 4 window for bench/peers.sh: one drawing area of the given size, painted with
// cairo and Pango (a background, three bars and a dozen lines of text) and redrawn whole every
// few seconds, as a monitor's window would be with no cleverness at all.
//
// usage: bare-window WIDTH HEIGHT [SECONDS]
#include <gtk/gtk.h>
#include <stdlib.h>

static int ticks;

static void draw(GtkDrawingArea* area, cairo_t* cr, int width, int height, gpointer data)
{
    (void)area;
    (void)data;
    cairo_set_source_rgb(cr, 0.94, 0.94, 0.96);
    cairo_paint(cr);
    for (int i = 0; i < 3; ++i) {
        double share = 0.2 + 0.1 * ((ticks + i) % 5);
        cairo_set_source_rgb(cr, 0.2 + 0.3 * i, 0.5, 0.8 - 0.2 * i);
        cairo_rectangle(cr, 20, 40 + 60 * i, (width - 40) * share, 24);
        cairo_fill(cr);
    }
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans 13");
    pango_layout_set_font_description(layout, font);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    for (int line = 0; line < 12 && 240 + 28 * line < height; ++line) {
        char text[64];
        g_snprintf(text, sizeof text, "Line %d: %d.%d GB", line, (ticks * 7 + line) % 16, line);
        pango_layout_set_text(layout, text, -1);
        cairo_move_to(cr, 20, 240 + 28 * line);
        pango_cairo_show_layout(cr, layout);
    }
    pango_font_description_free(font);
    g_object_unref(layout);
}

static gboolean tick(gpointer area)
{
    ++ticks;
    gtk_widget_queue_draw(GTK_WIDGET(area));
    return G_SOURCE_CONTINUE;
}

static void activate(GtkApplication* app, gpointer data)
{
    int* size = data;
    GtkWidget* window = gtk_application_window_new(app);
    gtk_window_set_title(GTK_WINDOW(window), "bare-window");
    gtk_window_set_default_size(GTK_WINDOW(window), size[0], size[1]);
    GtkWidget* area = gtk_drawing_area_new();
    gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(area), draw, NULL, NULL);
    gtk_window_set_child(GTK_WINDOW(window), area);
    g_timeout_add_seconds((guint)size[2], tick, area);
    gtk_window_present(GTK_WINDOW(window));
}

int main(int argc, char** argv)
{
    static int size[3] = { 414, 736, 3 };
    if (argc > 2) {
        size[0] = atoi(argv[1]);
        size[1] = atoi(argv[2]);
    }
    if (argc > 3)
        size[2] = atoi(argv[3]);
    if (size[0] < 50 || size[1] < 50 || size[2] < 1) {
        g_printerr("usage: bare-window WIDTH HEIGHT [SECONDS]\n");
        return 2;
    }
    GtkApplication* app = gtk_application_new(NULL, G_APPLICATION_NON_UNIQUE);
    g_signal_connect(app, "activate", G_CALLBACK(activate), size);
    char* none[] = { argv[0], NULL };
    int status = g_application_run(G_APPLICATION(app), 1, none);
    g_object_unref(app);
    return status;
}
