#include "app/FrmSplash.h"
#include "platform/Fonts.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The program ends when the main window closes, not when the splash does.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setStyle(QStringLiteral("Fusion"));
    Fonts::installSubstitutions();
    return FrmSplash::Form_Load();
}
