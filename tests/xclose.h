#ifndef XCLOSE_H
#define XCLOSE_H

// Asks a window to close as a window manager would (WM_DELETE_WINDOW), which
// xdotool cannot do. Kept apart because Xlib's macros clash with Qt's names.
bool requestClose(const char *display, unsigned long window);

#endif
