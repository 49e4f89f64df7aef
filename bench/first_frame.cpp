// Reports the first finished frame of the window the probe waits for, then
// ends the process at once. Linked into both start-up probes unchanged, so both
// programs are measured by the same code. It hooks in when the application
// object is built, so the program's own main() runs as shipped.
#include "first_frame.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

// Defined only in the diary probe: time spent inside the workbook engine.
__attribute__((weak)) long long benchEngineNs();

namespace {

long long nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Milestones on the way (application built, each window shown and first
// painted), sent with the ready line so the launcher can split the time.
std::string g_marks;

void mark(const QString& what)
{
    const QByteArray name = what.toUtf8();
    if (g_marks.find(" " + name.toStdString() + " ") != std::string::npos)
        return;
    char line[160];
    std::snprintf(line, sizeof line, "MARK %s %lld\n", name.constData(), nowNs());
    g_marks += line;
}

// The X server has drawn the frame once a reply comes back after the flush.
// libxcb is already loaded by Qt's xcb plugin; no headers or link needed.
void waitForXServer()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    void* lib = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_NOLOAD);
    if (!lib)
        return;
    struct Cookie {
        unsigned int sequence;
    };
    using Request = Cookie (*)(void*);
    using Reply = void* (*)(void*, Cookie, void**);
    auto request = reinterpret_cast<Request>(dlsym(lib, "xcb_get_input_focus"));
    auto reply = reinterpret_cast<Reply>(dlsym(lib, "xcb_get_input_focus_reply"));
    if (request && reply)
        std::free(reply(x11->connection(), request(x11->connection()), nullptr));
    dlclose(lib);
}

class FirstFrameWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if ((type != QEvent::Paint && type != QEvent::Show) || m_seen || !receiver->isWidgetType())
            return false;
        QWidget* window = static_cast<QWidget*>(receiver)->window();
        if (type == QEvent::Show) {
            if (receiver == window)
                mark(QStringLiteral("shown:") + window->objectName());
            return false;
        }
        mark(QStringLiteral("painted:") + window->objectName());
        if (!benchWindowReady(window))
            return false;
        m_seen = true;
        // Queued: runs once the whole frame this paint belongs to is flushed.
        QMetaObject::invokeMethod(this, &FirstFrameWatcher::report, Qt::QueuedConnection);
        return false;
    }

private:
    void report()
    {
        waitForXServer();
        const long long ns = nowNs();
        char line[64];
        if (benchEngineNs) {
            std::snprintf(line, sizeof line, "SPAN engine %lld\n", benchEngineNs());
            g_marks += line;
        }
        std::snprintf(line, sizeof line, "READY %lld\n", ns);
        g_marks += line;
        (void)!::write(STDOUT_FILENO, g_marks.data(), g_marks.size());
        // No teardown: nothing is saved and the peak memory is that of start-up.
        ::_exit(0);
    }

    bool m_seen = false;
};

void installWatcher()
{
    mark(QStringLiteral("application"));
    QCoreApplication::instance()->installEventFilter(new FirstFrameWatcher(QCoreApplication::instance()));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installWatcher)
