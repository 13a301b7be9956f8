#pragma once

namespace tervalia {

// Held for as long as the user-interface thread waits in a local event loop (a server call, an
// upload, a conversion). That loop still delivers close requests, and a window closed there would
// be deleted while its own handler is waiting on the stack. So while any BlockingWait lives, every
// close sent to a widget is refused and remembered; once the outermost wait has ended and control
// is back in the event loop that ran the waiting handler, the remembered windows are closed, in
// the order the closes came. A window deleted in the meantime is skipped.
//
// Core code: the widgets are reached only as QObjects, through their "close" slot.
class BlockingWait
{
public:
    BlockingWait();
    ~BlockingWait();
    BlockingWait(const BlockingWait&) = delete;
    BlockingWait& operator=(const BlockingWait&) = delete;

    // True while some wait is in progress.
    static bool active();
};

} // namespace tervalia
