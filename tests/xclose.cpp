#include "xclose.h"

#include <X11/Xlib.h>

bool requestClose(const char *display, unsigned long window)
{
    Display *connection = XOpenDisplay(display);
    if (!connection)
        return false;
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(connection, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(connection, window, False, NoEventMask, &event) != 0;
    XCloseDisplay(connection);
    return sent;
}
