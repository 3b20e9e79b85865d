// The settings window, in plain GTK 4 so that it takes the desktop's own theme: Adwaita
// on GNOME, Breeze on KDE Plasma. Every label has a mnemonic, so the whole window works
// from the keyboard.
#include "host/settings_gtk/settings_window.h"

#include <glib/gstdio.h>

#include <cstdio>
#include <string>

#include "controller/saver_logic.h"
#include "controller/settings.h"
#include "host/posix/settings_store.h"
#include "host/settings_gtk/session_start.h"

namespace vandrel {
namespace {

struct Window {
    GtkWidget* window;
    GtkWidget* blank;
    GtkWidget* minutes;
    GtkWidget* idle;
    GtkWidget* scale;
    GtkWidget* path;
    GtkWidget* dir;
    GtkWidget* session;
    GtkWidget* message;
};

void say(Window* w, const std::string& text) {
    gtk_label_set_text(GTK_LABEL(w->message), text.c_str());
    gtk_widget_set_visible(w->message, !text.empty());
}

// The idle time as IdleMinutes= takes it: "5", "2.25", "0.05".
std::string idleText(double minutes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", minutes);
    std::string s(text);
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') {
        s.pop_back();
    }
    return s;
}

SettingsForm formOf(Window* w) {
    // A number typed but not yet entered counts as entered.
    gtk_spin_button_update(GTK_SPIN_BUTTON(w->minutes));
    gtk_spin_button_update(GTK_SPIN_BUTTON(w->idle));
    SettingsForm form;
    form.blank = gtk_check_button_get_active(GTK_CHECK_BUTTON(w->blank));
    form.minutes = static_cast<int64_t>(gtk_spin_button_get_value(GTK_SPIN_BUTTON(w->minutes)));
    form.idleMinutes = idleText(gtk_spin_button_get_value(GTK_SPIN_BUTTON(w->idle)));
    gtk_spin_button_update(GTK_SPIN_BUTTON(w->scale));
    form.scale = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(w->scale));
    form.clientPath = gtk_editable_get_text(GTK_EDITABLE(w->path));
    form.clientDir = gtk_editable_get_text(GTK_EDITABLE(w->dir));
    return form;
}

void fill(Window* w, const SettingsForm& form) {
    gtk_check_button_set_active(GTK_CHECK_BUTTON(w->blank), form.blank);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(w->minutes), static_cast<double>(form.minutes));
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(w->idle),
                              g_ascii_strtod(form.idleMinutes.c_str(), nullptr));
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(w->scale), static_cast<double>(form.scale));
    gtk_editable_set_text(GTK_EDITABLE(w->path), form.clientPath.c_str());
    gtk_editable_set_text(GTK_EDITABLE(w->dir), form.clientDir.c_str());
}

void onOk(GtkButton*, Window* w) {
    char path[4096];
    std::string error;
    if (!settingsFilePath(path, sizeof path)) {
        say(w, "Cannot tell where the settings go: HOME is not set.");
    } else if (!saveSettings(path, formOf(w), error)) {
        say(w, error);
    } else {
        gtk_window_destroy(GTK_WINDOW(w->window));
    }
}

// The preview runs the saver with the window's values, from a settings folder of its
// own that goes with it.
void onPreview(GtkButton*, Window* w) {
    char* folder = g_dir_make_tmp("vandrel-preview-XXXXXX", nullptr);
    if (folder == nullptr) {
        say(w, "Cannot make a folder for the preview.");
        return;
    }
    const std::string file = std::string(folder) + "/vandrel/" + kSettingsFile;
    std::string error;
    GPid pid = 0;
    GError* failure = nullptr;
    if (saveSettings(file.c_str(), formOf(w), error)) {
        const std::string vandrel = siblingProgram("vandrel");
        char* argv[] = {const_cast<char*>(vandrel.c_str()), const_cast<char*>("--window"), nullptr};
        char** env = g_environ_setenv(g_get_environ(), "XDG_CONFIG_HOME", folder, TRUE);
        if (g_spawn_async(nullptr, argv, env,
                          GSpawnFlags(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_SEARCH_PATH), nullptr,
                          nullptr, &pid, &failure)) {
            say(w, "");
        } else {
            error = std::string("Cannot start the preview: ") + failure->message;
            g_error_free(failure);
        }
        g_strfreev(env);
    }
    if (pid == 0) {
        say(w, error);
        g_unlink(file.c_str());
        g_rmdir((std::string(folder) + "/vandrel").c_str());
        g_rmdir(folder);
        g_free(folder);
        return;
    }
    g_child_watch_add(
        pid,
        +[](GPid child, int, gpointer data) {
            char* dir = static_cast<char*>(data);
            const std::string sub = std::string(dir) + "/vandrel";
            g_unlink((sub + "/" + kSettingsFile).c_str());
            g_rmdir(sub.c_str());
            g_rmdir(dir);
            g_free(dir);
            g_spawn_close_pid(child);
        },
        folder);
}

void onSession(GObject* toggle, GParamSpec*, Window* w) {
    const bool on = gtk_switch_get_active(GTK_SWITCH(toggle));
    std::string error;
    if (on == sessionStartEnabled()) {
        return;
    }
    if (!setSessionStart(on, error)) {
        say(w, error);
        gtk_switch_set_active(GTK_SWITCH(toggle), sessionStartEnabled());
    }
}

void choose(Window* w, GtkWidget* entry, bool folder) {
    GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
        folder ? "Worker folder" : "Worker program", GTK_WINDOW(w->window),
        folder ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER : GTK_FILE_CHOOSER_ACTION_OPEN, "_Select",
        "_Cancel");
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser), TRUE);
    g_object_set_data(G_OBJECT(chooser), "entry", entry);
    g_signal_connect(
        chooser, "response", G_CALLBACK(+[](GtkNativeDialog* d, int response, gpointer) {
            if (response == GTK_RESPONSE_ACCEPT) {
                GFile* file = gtk_file_chooser_get_file(GTK_FILE_CHOOSER(d));
                char* path = g_file_get_path(file);
                auto* target = static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(d), "entry"));
                gtk_editable_set_text(GTK_EDITABLE(target), path != nullptr ? path : "");
                g_free(path);
                g_object_unref(file);
            }
            g_object_unref(d);
        }),
        nullptr);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(chooser));
}

GtkWidget* label(const char* text, GtkWidget* target) {
    GtkWidget* l = gtk_label_new_with_mnemonic(text);
    gtk_label_set_mnemonic_widget(GTK_LABEL(l), target);
    gtk_label_set_xalign(GTK_LABEL(l), 0);
    return l;
}

GtkWidget* spin(double low, double high, double step, unsigned digits) {
    GtkWidget* s = gtk_spin_button_new_with_range(low, high, step);
    gtk_spin_button_set_digits(GTK_SPIN_BUTTON(s), digits);
    gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(s), TRUE);
    gtk_editable_set_width_chars(GTK_EDITABLE(s), 8);
    return s;
}

// The dashboard size, "Automatic" or 1× to 8×: a spin field, so that the keyboard sets
// it as it sets the others (a digit, or the arrows).
GtkWidget* sizeField() {
    GtkWidget* s = spin(0, kMaxScale, 1, 0);
    gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(s), FALSE);
    g_signal_connect(s, "output", G_CALLBACK(+[](GtkSpinButton* field, gpointer) -> gboolean {
                         const int value = gtk_spin_button_get_value_as_int(field);
                         char text[16];
                         std::snprintf(text, sizeof text, value == 0 ? "Automatic" : "%d×", value);
                         gtk_editable_set_text(GTK_EDITABLE(field), text);
                         return TRUE;
                     }),
                     nullptr);
    // Typed text counts by its leading number: "2", "2×"; anything else is automatic.
    g_signal_connect(
        s, "input", G_CALLBACK(+[](GtkSpinButton* field, double* value, gpointer) -> gint {
            *value = g_ascii_strtod(gtk_editable_get_text(GTK_EDITABLE(field)), nullptr);
            return TRUE;
        }),
        nullptr);
    return s;
}

// An entry with a button that opens a file chooser into it.
GtkWidget* pathRow(Window* w, GtkWidget* entry, bool folder, const char* button) {
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_widget_set_hexpand(entry, TRUE);
    gtk_box_append(GTK_BOX(box), entry);
    GtkWidget* b = gtk_button_new_with_mnemonic(button);
    g_object_set_data(G_OBJECT(b), "entry", entry);
    g_object_set_data(G_OBJECT(b), "folder", GINT_TO_POINTER(folder));
    g_signal_connect(
        b, "clicked", G_CALLBACK(+[](GtkButton* button, Window* win) {
            choose(win, static_cast<GtkWidget*>(g_object_get_data(G_OBJECT(button), "entry")),
                   g_object_get_data(G_OBJECT(button), "folder") != nullptr);
        }),
        w);
    gtk_box_append(GTK_BOX(box), b);
    return box;
}

}  // namespace

void showSettingsWindow(GtkApplication* app) {
    auto* w = new Window{};
    w->window = gtk_application_window_new(app);
    gtk_window_set_title(GTK_WINDOW(w->window), "Vandrel ScreenSaver Settings");
    gtk_window_set_icon_name(GTK_WINDOW(w->window), "vandrel-settings");
    gtk_window_set_default_size(GTK_WINDOW(w->window), 520, -1);
    g_object_set_data_full(
        G_OBJECT(w->window), "vandrel-window", w,
        +[](gpointer data) { delete static_cast<Window*>(data); });

    w->blank = gtk_check_button_new_with_mnemonic("_Go to blank screen");
    w->minutes = spin(0, static_cast<double>(kMaxBlankMinutes), 1, 0);
    w->idle = spin(0.05, 1440, 1, 2);
    w->scale = sizeField();
    w->path = gtk_entry_new();
    w->dir = gtk_entry_new();
    w->session = gtk_switch_new();
    w->message = gtk_label_new("");
    gtk_label_set_wrap(GTK_LABEL(w->message), TRUE);
    gtk_label_set_xalign(GTK_LABEL(w->message), 0);
    gtk_widget_add_css_class(w->message, "error");
    gtk_widget_set_visible(w->message, FALSE);

    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 10);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 12);
    gtk_widget_set_margin_start(grid, 18);
    gtk_widget_set_margin_end(grid, 18);
    gtk_widget_set_margin_top(grid, 18);
    gtk_widget_set_margin_bottom(grid, 18);
    int row = 0;
    gtk_grid_attach(GTK_GRID(grid), w->blank, 0, row++, 2, 1);
    gtk_grid_attach(GTK_GRID(grid), label("_Minutes until blank:", w->minutes), 0, row, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), w->minutes, 1, row++, 1, 1);
    // "Show the saver after N minutes without input", the number in the sentence.
    GtkWidget* idleRow = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_box_append(GTK_BOX(idleRow), label("_Show the saver after", w->idle));
    gtk_box_append(GTK_BOX(idleRow), w->idle);
    gtk_box_append(GTK_BOX(idleRow), gtk_label_new("minutes without input"));
    gtk_grid_attach(GTK_GRID(grid), idleRow, 0, row++, 2, 1);
    gtk_grid_attach(GTK_GRID(grid), label("_Dashboard size:", w->scale), 0, row, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), w->scale, 1, row++, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), label("_Worker program:", w->path), 0, row, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), pathRow(w, w->path, false, "_Choose…"), 1, row++, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), label("Worker _folder:", w->dir), 0, row, 1, 1);
    gtk_grid_attach(GTK_GRID(grid), pathRow(w, w->dir, true, "C_hoose…"), 1, row++, 1, 1);
    GtkWidget* sessionRow = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
    GtkWidget* sessionLabel = label("S_tart with my session", w->session);
    gtk_widget_set_hexpand(sessionLabel, TRUE);
    gtk_box_append(GTK_BOX(sessionRow), sessionLabel);
    gtk_box_append(GTK_BOX(sessionRow), w->session);
    gtk_grid_attach(GTK_GRID(grid), sessionRow, 0, row++, 2, 1);
    const std::string daemon = runningIdleDaemon();
    if (!daemon.empty()) {
        GtkWidget* note = gtk_label_new(
            (daemon + " is running and starts the saver in this session, so the session start "
                      "adds no second watcher while it runs.")
                .c_str());
        gtk_label_set_wrap(GTK_LABEL(note), TRUE);
        gtk_label_set_xalign(GTK_LABEL(note), 0);
        gtk_widget_add_css_class(note, "dim-label");
        gtk_grid_attach(GTK_GRID(grid), note, 0, row++, 2, 1);
    }
    gtk_grid_attach(GTK_GRID(grid), w->message, 0, row++, 2, 1);

    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_widget_set_margin_top(buttons, 6);
    GtkWidget* preview = gtk_button_new_with_mnemonic("_Preview");
    GtkWidget* cancel = gtk_button_new_with_label("Cancel");
    GtkWidget* ok = gtk_button_new_with_mnemonic("_OK");
    gtk_widget_add_css_class(ok, "suggested-action");
    gtk_widget_set_hexpand(preview, TRUE);
    gtk_widget_set_halign(preview, GTK_ALIGN_START);
    gtk_box_append(GTK_BOX(buttons), preview);
    gtk_box_append(GTK_BOX(buttons), cancel);
    gtk_box_append(GTK_BOX(buttons), ok);
    gtk_grid_attach(GTK_GRID(grid), buttons, 0, row++, 2, 1);
    gtk_window_set_child(GTK_WINDOW(w->window), grid);
    gtk_window_set_default_widget(GTK_WINDOW(w->window), ok);
    gtk_widget_grab_focus(w->blank);

    fill(w, settingsFormFrom(loadSettingsDocument()));
    gtk_switch_set_active(GTK_SWITCH(w->session), sessionStartEnabled());
    g_signal_connect(w->session, "notify::active", G_CALLBACK(onSession), w);
    g_signal_connect(ok, "clicked", G_CALLBACK(onOk), w);
    // Enter in a field is OK, as in the dialog on Windows.
    for (GtkWidget* field : {w->minutes, w->idle, w->scale, w->path, w->dir}) {
        g_signal_connect_swapped(gtk_editable_get_delegate(GTK_EDITABLE(field)), "activate",
                                 G_CALLBACK(gtk_widget_activate), ok);
    }
    g_signal_connect(preview, "clicked", G_CALLBACK(onPreview), w);
    g_signal_connect_swapped(cancel, "clicked", G_CALLBACK(gtk_window_destroy), w->window);
    // Esc is Cancel, as in the dialog on Windows.
    GtkEventController* keys = gtk_shortcut_controller_new();
    gtk_shortcut_controller_add_shortcut(
        GTK_SHORTCUT_CONTROLLER(keys),
        gtk_shortcut_new(gtk_keyval_trigger_new(GDK_KEY_Escape, GdkModifierType(0)),
                         gtk_named_action_new("window.close")));
    gtk_widget_add_controller(w->window, keys);
    gtk_window_present(GTK_WINDOW(w->window));
}

}  // namespace vandrel
