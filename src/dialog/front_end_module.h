/* The C interface between libcomvorlix and a front-end module: a shared
 * object, opened with dlopen only when a window is needed, that shows the
 * configuration form (libcomvorlix_dialog_qt.so, built from src/dialog_qt/).
 *
 * Plain C on purpose: the module shares no C++ types, exceptions or
 * allocators with the library and calls none of its functions. The form
 * crosses as a description (comvorlix_dialog_form) and comes back through
 * one callback (comvorlix_dialog_ok_fn).
 *
 * Entry point: the module exports exactly one symbol,
 * COMVORLIX_DIALOG_MODULE_ENTRY, a function without arguments that returns
 * a pointer to its table. The table is static: it stays valid as long as the
 * module is loaded, the caller never frees it. The caller accepts the table
 * only when abi_version equals COMVORLIX_DIALOG_ABI_VERSION and size is at
 * least sizeof(comvorlix_dialog_module); a later version may append
 * functions at the end and raise size without changing abi_version.
 *
 * Texts are UTF-16 (the form's own encoding) with an explicit length, not
 * terminated, and may contain any code unit including 0. Error texts are
 * UTF-8, terminated, written into a buffer the caller provides.
 *
 * Errors never cross as C++ exceptions: every function of the table and the
 * callback catch everything and report through their result and a
 * comvorlix_dialog_error.
 *
 * Unloading: a module that has started a Qt application keeps state in it
 * for the process's life, so the library opens it with RTLD_NODELETE and
 * never unmaps it.
 */
#ifndef COMVORLIX_DIALOG_FRONT_END_MODULE_H
#define COMVORLIX_DIALOG_FRONT_END_MODULE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define COMVORLIX_DIALOG_ABI_VERSION 1u
#define COMVORLIX_DIALOG_MODULE_ENTRY "comvorlix_dialog_module_table"

/* A borrowed UTF-16 text: `size` code units at `data` (data may be NULL
 * when size is 0). */
typedef struct comvorlix_dialog_text {
  const uint16_t* data;
  size_t size;
} comvorlix_dialog_text;

typedef enum comvorlix_dialog_control_kind {
  COMVORLIX_DIALOG_LABEL = 0,
  COMVORLIX_DIALOG_TEXT_BOX = 1,
  COMVORLIX_DIALOG_COMBO_BOX = 2,
  COMVORLIX_DIALOG_CHECK_BOX = 3,
  COMVORLIX_DIALOG_COMMAND_BUTTON = 4
} comvorlix_dialog_control_kind;

/* One control the window shows. Fields a kind does not use are zero. */
typedef struct comvorlix_dialog_control {
  comvorlix_dialog_text name;     /* every kind; the widget's objectName */
  int32_t kind;                   /* a comvorlix_dialog_control_kind */
  int32_t tab_index;              /* focus order; -1: takes no focus */
  comvorlix_dialog_text caption;  /* label, check box, command button */
  comvorlix_dialog_text text;     /* text box, combo box */
  const comvorlix_dialog_text* items; /* combo box: its list, item_count entries */
  size_t item_count;
  int32_t list_index;             /* combo box: selected item, -1 for none */
  int32_t checked;                /* check box: 1 checked, 0 not */
  int32_t read_only;              /* text box: 1 when locked */
  uint16_t password_char;         /* text box: shown for each typed character; 0 = plain echo */
} comvorlix_dialog_control;

/* The form as the window shows it: the visible controls in design order
 * (the order of the layout rows). */
typedef struct comvorlix_dialog_form {
  comvorlix_dialog_text caption;  /* window title */
  int32_t top_most;               /* 1: stays on top of other windows */
  const comvorlix_dialog_control* controls;
  size_t control_count;
} comvorlix_dialog_form;

/* What the operator left in one editable control when pressing OK. */
typedef struct comvorlix_dialog_value {
  comvorlix_dialog_text name;  /* the control's name, as described */
  comvorlix_dialog_text text;  /* text box, combo box: the text shown */
  int32_t list_index;          /* combo box: the selected item (as described, or as
                                  the operator picked it since); -1 once typed text
                                  replaced it */
  int32_t checked;             /* check box: 1 or 0 */
} comvorlix_dialog_value;

typedef enum comvorlix_dialog_error_kind {
  COMVORLIX_DIALOG_ERROR_NONE = 0,
  /* No window can be shown (the process runs Qt without widgets, ...). */
  COMVORLIX_DIALOG_ERROR_NO_DISPLAY = 1,
  /* Anything else: wrong thread, out of memory, a failed OK handler. */
  COMVORLIX_DIALOG_ERROR_FAIL = 2
} comvorlix_dialog_error_kind;

/* Filled by whoever fails; owned by the caller. `text` is UTF-8, always
 * terminated, cut at the buffer's end. */
typedef struct comvorlix_dialog_error {
  int32_t kind; /* a comvorlix_dialog_error_kind */
  char text[512];
} comvorlix_dialog_error;

typedef enum comvorlix_dialog_ok_result {
  /* The values were taken and the OK handler finished the form: close the
   * window, the dialog ended with OK. */
  COMVORLIX_DIALOG_OK_CLOSE = 0,
  /* The handler ran but left the form open: keep the window open. */
  COMVORLIX_DIALOG_OK_STAY_OPEN = 1,
  /* Taking a value or the handler failed; `error` says why. Close the
   * window; show_modal then returns COMVORLIX_DIALOG_SHOW_FAILED. */
  COMVORLIX_DIALOG_OK_FAILED = 2,
  /* The handler refused the values (one cannot be stored); `error` says
   * why. Show that text in the window and keep it open with the values as
   * they are, so the operator can correct them. A module that does not know
   * this answer treats it as COMVORLIX_DIALOG_OK_FAILED. */
  COMVORLIX_DIALOG_OK_REFUSED = 3
} comvorlix_dialog_ok_result;

/* Called by the module, on the thread inside show_modal, each time the
 * operator presses OK: writes `values` (value_count entries, owned by the
 * module, valid during the call) back into the form, in order, then clicks
 * the form's OK button. `context` is show_modal's. Returns a
 * comvorlix_dialog_ok_result; on COMVORLIX_DIALOG_OK_FAILED it has filled
 * `error` (owned by the module). */
typedef int32_t (*comvorlix_dialog_ok_fn)(void* context, const comvorlix_dialog_value* values,
                                          size_t value_count, comvorlix_dialog_error* error);

typedef enum comvorlix_dialog_show_result {
  COMVORLIX_DIALOG_SHOW_OK = 0,        /* OK was pressed and the form finished */
  COMVORLIX_DIALOG_SHOW_CANCELLED = 1, /* closed without OK (Escape, the close button) */
  COMVORLIX_DIALOG_SHOW_FAILED = 2     /* `error` says why */
} comvorlix_dialog_show_result;

typedef struct comvorlix_dialog_module {
  uint32_t abi_version; /* COMVORLIX_DIALOG_ABI_VERSION */
  uint32_t size;        /* sizeof(comvorlix_dialog_module) of the module */

  /* 1 when this process already runs a Qt application with widgets, else
   * 0. Any thread; starts nothing. */
  int32_t (*gui_running)(void);

  /* 1 when the Qt platform plugin `platform` (UTF-8, terminated: "xcb",
   * "wayland", "offscreen", ...) is installed where Qt looks for plugins,
   * else 0 (also for NULL or ""). Any thread; starts nothing and does not
   * contact a display. */
  int32_t (*platform_available)(const char* platform);

  /* Shows `form` (borrowed for the call) as a modal window without an
   * owner and returns when it is closed: a comvorlix_dialog_show_result.
   * Creates the Qt application when there is none (kept for the process's
   * life); the caller has made sure that a display is usable, since Qt ends
   * the process when it cannot reach one. Must run on the thread of the Qt
   * application: from another thread it fails with
   * COMVORLIX_DIALOG_ERROR_FAIL, in a process running Qt without widgets
   * with COMVORLIX_DIALOG_ERROR_NO_DISPLAY. Pressing OK calls `on_ok`;
   * Escape or closing the window cancels. `error` (owned by the caller) is
   * filled on COMVORLIX_DIALOG_SHOW_FAILED. */
  int32_t (*show_modal)(const comvorlix_dialog_form* form, comvorlix_dialog_ok_fn on_ok, void* context,
                        comvorlix_dialog_error* error);
} comvorlix_dialog_module;

/* The exported entry point (defined by the module, found with dlsym under
 * COMVORLIX_DIALOG_MODULE_ENTRY) and its type. Any thread. */
const comvorlix_dialog_module* comvorlix_dialog_module_table(void);
typedef const comvorlix_dialog_module* (*comvorlix_dialog_module_entry_fn)(void);

#ifdef __cplusplus
}
#endif

#endif /* COMVORLIX_DIALOG_FRONT_END_MODULE_H */
