#pragma once

#include <QPointer>

namespace tervalia {

// Each window exists at most once at a time: it is created when first shown, deletes itself
// when closed, and every other window reaches that one instance through here.
template <class W> class SingleWindow
{
public:
    static W* instance()
    {
        if (!slot())
            slot() = new W;
        return slot();
    }
    // The open instance, or nullptr when the window is not open.
    static W* existing() { return slot().data(); }

private:
    static QPointer<W>& slot()
    {
        static QPointer<W> window;
        return window;
    }
};

} // namespace tervalia
