#pragma once
// Which keys, pressed in a path field that cannot be typed in, open the field's file picker.
#include <Qt>

// Keys with a virtual key code of 32 and above do (space, printable keys, arrows, Home, End, Insert,
// Delete, function keys); Tab, Enter, Escape, Backspace, the modifiers and the lock keys do not and keep
// their ordinary meaning in the window. Keys held with Ctrl, Alt or Meta keep theirs too (copying the
// path, the buttons' Alt shortcuts).
bool KeyOpensPicker(int key, Qt::KeyboardModifiers modifiers);
