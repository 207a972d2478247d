// xdnd-drop: drops files onto a window the way a file manager does, with the
// X drag-and-drop protocol (version 5), for the tests of the program as a user
// drives it.
//
//     xdnd-drop WINDOW X Y FILE...
//
// WINDOW is the target's top-level window id (as xdotool prints it), X and Y
// the drop point on the screen. The files are offered as "text/uri-list".
// Exits 0 when the target took the drop and said it finished with it, 1 when
// it refused it or did not answer within ten seconds, 2 for a bad command line.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

struct Atoms {
    Atom aware, selection, enter, position, status, drop, finished, actionCopy, uriList, leave;
    explicit Atoms(Display* d)
        : aware(XInternAtom(d, "XdndAware", False)),
          selection(XInternAtom(d, "XdndSelection", False)),
          enter(XInternAtom(d, "XdndEnter", False)),
          position(XInternAtom(d, "XdndPosition", False)),
          status(XInternAtom(d, "XdndStatus", False)),
          drop(XInternAtom(d, "XdndDrop", False)),
          finished(XInternAtom(d, "XdndFinished", False)),
          actionCopy(XInternAtom(d, "XdndActionCopy", False)),
          uriList(XInternAtom(d, "text/uri-list", False)),
          leave(XInternAtom(d, "XdndLeave", False))
    {
    }
};

// The file's URI: "file://" and the absolute path, bytes outside the safe set percent-encoded.
std::string FileUri(const std::string& path)
{
    char* absolute = ::realpath(path.c_str(), nullptr);
    const std::string full = absolute != nullptr ? absolute : path;
    std::free(absolute);
    std::string uri = "file://";
    for (unsigned char c : full) {
        if (std::isalnum(c) != 0 || std::string("/-_.~").find(static_cast<char>(c)) != std::string::npos) {
            uri += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            uri += escaped;
        }
    }
    return uri;
}

void Send(Display* d, Window target, Atom type, long l0, long l1, long l2, long l3, long l4)
{
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.display = d;
    e.xclient.window = target;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = l0;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(d, target, False, NoEventMask, &e);
    XFlush(d);
}

// The next event, waiting on the connection until `deadline`; false at the deadline.
bool NextEvent(Display* d, Clock::time_point deadline, XEvent& event)
{
    while (XPending(d) == 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd pfd{ConnectionNumber(d), POLLIN, 0};
        ::poll(&pfd, 1, static_cast<int>(left));
    }
    XNextEvent(d, &event);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: xdnd-drop WINDOW X Y FILE...\n");
        return 2;
    }
    const Window target = std::strtoul(argv[1], nullptr, 0);
    const long x = std::strtol(argv[2], nullptr, 10);
    const long y = std::strtol(argv[3], nullptr, 10);
    std::string uris;
    for (int i = 4; i < argc; ++i)
        uris += FileUri(argv[i]) + "\r\n";

    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) {
        std::fprintf(stderr, "xdnd-drop: no display\n");
        return 1;
    }
    const Atoms atoms(d);
    const Window source = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(d, atoms.selection, source, CurrentTime);

    // The version the target speaks, from its XdndAware property.
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long version = 0;
    if (XGetWindowProperty(d, target, atoms.aware, 0, 1, False, XA_ATOM, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr && count == 1)
        version = static_cast<long>(*reinterpret_cast<Atom*>(data));
    if (data != nullptr)
        XFree(data);
    if (version < 3) {
        std::fprintf(stderr, "xdnd-drop: window 0x%lx takes no drops (XdndAware %ld)\n", target, version);
        return 1;
    }
    version = std::min(version, 5L);

    Send(d, target, atoms.enter, static_cast<long>(source), version << 24, static_cast<long>(atoms.uriList), 0, 0);
    Send(d, target, atoms.position, static_cast<long>(source), 0, (x << 16) | (y & 0xFFFF), CurrentTime,
         static_cast<long>(atoms.actionCopy));

    const auto deadline = Clock::now() + std::chrono::seconds(10);
    bool dropped = false;
    XEvent event;
    while (NextEvent(d, deadline, event)) {
        if (event.type == SelectionRequest) {
            // The target asks for the files.
            const XSelectionRequestEvent& request = event.xselectionrequest;
            XEvent reply{};
            reply.xselection.type = SelectionNotify;
            reply.xselection.display = d;
            reply.xselection.requestor = request.requestor;
            reply.xselection.selection = request.selection;
            reply.xselection.target = request.target;
            reply.xselection.time = request.time;
            reply.xselection.property = None;
            if (request.target == atoms.uriList) {
                XChangeProperty(d, request.requestor, request.property, atoms.uriList, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(uris.data()), static_cast<int>(uris.size()));
                reply.xselection.property = request.property;
            }
            XSendEvent(d, request.requestor, False, NoEventMask, &reply);
            XFlush(d);
        } else if (event.type == ClientMessage && event.xclient.message_type == atoms.status && !dropped) {
            if ((event.xclient.data.l[1] & 1) == 0) {
                Send(d, target, atoms.leave, static_cast<long>(source), 0, 0, 0, 0);
                std::fprintf(stderr, "xdnd-drop: the target refused the files\n");
                return 1;
            }
            Send(d, target, atoms.drop, static_cast<long>(source), 0, CurrentTime, 0, 0);
            dropped = true;
        } else if (event.type == ClientMessage && event.xclient.message_type == atoms.finished) {
            const bool accepted = version < 5 || (event.xclient.data.l[1] & 1) != 0;
            std::printf("%s\n", accepted ? "finished" : "finished, refused");
            XCloseDisplay(d);
            return accepted ? 0 : 1;
        }
    }
    std::fprintf(stderr, "xdnd-drop: no answer from window 0x%lx (%s)\n", target,
                 dropped ? "after the drop" : "to the position");
    return 1;
}
