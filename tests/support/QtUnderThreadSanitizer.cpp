// Qt is not built with ThreadSanitizer: its own locks (futexes) are invisible to it, so the memory
// that Qt's painting threads copy and free through intercepted calls shows up as races that are not
// there. Those calls made from inside Qt are not tracked; every access of this program's own
// (instrumented) code still is. GLib, under Qt's event loop and its threads, locks with futexes too.
// Read by the ThreadSanitizer runtime at start, ignored otherwise.
extern "C" const char* __tsan_default_suppressions() {
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libQt6Widgets.so.6\n"
         "called_from_lib:libglib-2.0.so.0\n";
}
