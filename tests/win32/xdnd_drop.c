// Drops one file on an X window as a file manager does, through the XDND
// protocol: the window at the pointer is offered text/uri-list and the drop.
// Usage: xdnd-drop WINDOW X Y PATH (WINDOW an X id, X and Y on the screen)
// Exit 0 once the target said it took the drop, 1 when it refused or never answered.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static Display* display;
static Window source, target;

static Atom Intern(const char* name) {
    return XInternAtom(display, name, False);
}

static void Send(const char* type, long l1, long l2, long l3, long l4) {
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.display = display;
    event.xclient.window = target;
    event.xclient.message_type = Intern(type);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)source;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

// Serves the selection while waiting for the client message named; 0 when it
// came, with its second word in *answer.
static int Await(const char* type, const char* uri, long* answer) {
    const time_t end = time(NULL) + 20;
    while (time(NULL) < end) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == SelectionRequest) {
                XSelectionRequestEvent* request = &event.xselectionrequest;
                XEvent reply;
                memset(&reply, 0, sizeof reply);
                reply.xselection.type = SelectionNotify;
                reply.xselection.requestor = request->requestor;
                reply.xselection.selection = request->selection;
                reply.xselection.target = request->target;
                reply.xselection.time = request->time;
                reply.xselection.property = None;
                if (request->target == Intern("text/uri-list")) {
                    const Atom property =
                        request->property != None ? request->property : request->target;
                    XChangeProperty(display, request->requestor, property, request->target, 8,
                                    PropModeReplace, (const unsigned char*)uri, (int)strlen(uri));
                    reply.xselection.property = property;
                }
                XSendEvent(display, request->requestor, False, NoEventMask, &reply);
                XFlush(display);
            } else if (event.type == ClientMessage && event.xclient.message_type == Intern(type)) {
                *answer = event.xclient.data.l[1];
                return 0;
            }
        }
        struct timespec pause = {0, 20 * 1000 * 1000};
        nanosleep(&pause, NULL);
    }
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: xdnd-drop WINDOW X Y PATH\n");
        return 2;
    }
    display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "xdnd-drop: no display\n");
        return 2;
    }
    target = (Window)strtoul(argv[1], NULL, 0);
    const long x = atol(argv[2]), y = atol(argv[3]);
    char uri[4096];
    snprintf(uri, sizeof uri, "file://%s\r\n", argv[4]);

    source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, Intern("XdndSelection"), source, CurrentTime);
    long answer = 0;
    Send("XdndEnter", 5L << 24, (long)Intern("text/uri-list"), None, None);
    Send("XdndPosition", 0, (x << 16) | y, CurrentTime, (long)Intern("XdndActionCopy"));
    if (Await("XdndStatus", uri, &answer) != 0 || (answer & 1) == 0) {
        fprintf(stderr, "xdnd-drop: the window does not take the drop\n");
        Send("XdndLeave", 0, 0, 0, 0);
        return 1;
    }
    Send("XdndDrop", 0, CurrentTime, 0, 0);
    const int finished = Await("XdndFinished", uri, &answer);
    XCloseDisplay(display);
    return finished == 0 ? 0 : 1;
}
