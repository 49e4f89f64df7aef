#include "platform/WindowHints.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

enum : quint32 {
    MwmHintsFunctions = 1u << 0,
    MwmHintsDecorations = 1u << 1,
    MwmFuncMove = 1u << 2,
    MwmFuncClose = 1u << 5,
    MwmDecorBorder = 1u << 1,
    MwmDecorTitle = 1u << 3,
    MwmDecorMenu = 1u << 4,
};

enum class Hint { FixedBorder, EmptyTitle };

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_intern_atom(connection, 0, quint16(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

void apply(QWidget* window, Hint hint)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection || !window->windowHandle())
        return;
    const auto id = xcb_window_t(window->winId());
    if (hint == Hint::FixedBorder) {
        const quint32 hints[5] = {MwmHintsFunctions | MwmHintsDecorations, MwmFuncMove | MwmFuncClose,
                                  MwmDecorBorder | MwmDecorTitle | MwmDecorMenu, 0, 0};
        const xcb_atom_t motif = atom(connection, "_MOTIF_WM_HINTS");
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, motif, motif, 32, 5, hints);
    } else {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom(connection, "_NET_WM_NAME"),
                            atom(connection, "UTF8_STRING"), 8, 0, "");
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, "");
    }
    xcb_flush(connection);
}

// Qt writes these properties when it creates and shows the native window, so
// they are written again after every show.
class Keeper : public QObject {
public:
    Keeper(QWidget* window, Hint hint)
        : QObject(window)
        , m_hint(hint)
    {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show || event->type() == QEvent::WinIdChange)
            apply(static_cast<QWidget*>(watched), m_hint);
        return false;
    }

private:
    Hint m_hint;
};

} // namespace

namespace WindowHints {

void keepFixedBorder(QWidget* window) { new Keeper(window, Hint::FixedBorder); }

void keepEmptyTitle(QWidget* window) { new Keeper(window, Hint::EmptyTitle); }

} // namespace WindowHints
