#include "app/FrmSplash.h"
#include "main_window/Form1.h"
#include "platform/AccessibleWidgets.h"
#include "platform/AppInfo.h"
#include "platform/Fonts.h"
#include "platform/Footprint.h"
#include "platform/QtJapanese.h"
#include "platform/ShutdownSignals.h"
#include "platform/SingleInstance.h"

#include <QApplication>
#include <QSessionManager>

int main(int argc, char* argv[])
{
    // The diary takes no command-line arguments, not even Qt's own.
    int qtArgc = argc > 0 ? 1 : 0;
    const Footprint footprint;
    QApplication app(qtArgc, argv);
    Footprint::useUtf8Characters();
    // The program ends when the main window closes, not when the splash does.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QtJapanese::install(app);
    AccessibleWidgets::install();
    // Ties the window to the launcher entry (Wayland's app id, taskbar grouping).
    QGuiApplication::setDesktopFileName(QStringLiteral("merrow-nikki"));
    // A second diary on the same folder would save over this one's text.
    Form1* form1 = nullptr;
    const auto toFront = [&form1] {
        if (form1) {
            form1->showNormal();
            form1->raise();
            form1->activateWindow();
        }
    };
    if (!SingleInstance::claim(AppInfo::programFolder(), toFront))
        return 0;
    Fonts::installSubstitutions();
    form1 = FrmSplash::Form_Load();
    if (!form1)
        return 1;
    // A logout or a kill closes the window the orderly way, saving the page.
    ShutdownSignals::install([form1] { form1->close(); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, form1,
                     [form1](QSessionManager&) { form1->commitData(); });
    const int code = QApplication::exec();
    delete std::exchange(form1, nullptr);
    return code;
}
