#include "app/FrmSplash.h"

#include "main_window/Form1.h"
#include "platform/ColourValue.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"
#include "platform/Twips.h"
#include "platform/WidgetColour.h"
#include "platform/WindowHints.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QScreen>
#include <QWindow>

namespace {

QLabel* textLabel(QWidget* parent, const char* name, const QString& text, QPoint twipsTopLeft, ColourValue colour,
                  const QFont& font)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    setWidgetColour(label, QPalette::WindowText, colour);
    label->move(Twips::point(twipsTopLeft.x(), twipsTopLeft.y()));
    label->adjustSize(); // the labels size themselves to their text
    return label;
}

} // namespace

FrmSplash::FrmSplash()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setFixedSize(Twips::size(5655, 2550));
    WindowHints::keepEmptyTitle(this);
    setAttribute(Qt::WA_InputMethodEnabled, false);

    // Frame1 sits 120 twips above the client area, so its children are placed from there.
    auto* frame = new QWidget(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setGeometry(Twips::rect(0, -120, 5760, 2715));
    setWidgetColour(frame, QPalette::Window, ColourValue(0x00E1D7A2));
    frame->setAutoFillBackground(true);

    auto* logo = new QLabel(frame);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setGeometry(Twips::rect(240, 360, 495, 510));
    logo->setScaledContents(true);
    // At the screen's ratio, or a scaled screen enlarges the 32-pixel image.
    logo->setPixmap(QIcon(QStringLiteral(":/logo.ico")).pixmap(QSize(32, 32), logo->devicePixelRatioF()));

    textLabel(frame, "lblCompanyProduct", QStringLiteral("メロウ工房"), {1200, 480}, ColourValue(0x008080FF),
              Fonts::font(Fonts::Gothic, 18, true));
    textLabel(frame, "lblProductName", QStringLiteral("Merrow 日記\u3000"), {360, 1200}, ColourValue(0x000000FF),
              Fonts::font(Fonts::Mincho, 32.25, true, true));
    QLabel* version = textLabel(frame, "lblVersion", QStringLiteral("ver1.2"), {4320, 2040}, ColourValue(0x008080FF),
                                Fonts::font(Fonts::Gothic, 12, true));
    version->setAlignment(Qt::AlignRight);
}

Form1* FrmSplash::Form_Load()
{
    auto* splash = new FrmSplash;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        splash->move(screen->availableGeometry().center() - splash->rect().center());
    splash->show();
    // Let it paint before the long step. Mapping a window is asynchronous, so
    // wait (briefly, at most) until it is exposed, then paint it at once.
    QElapsedTimer waited;
    waited.start();
    while (splash->windowHandle() && !splash->windowHandle()->isExposed() && waited.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    splash->repaint();
    QCoreApplication::processEvents();

    auto* form1 = new Form1;
    QString message;
    const bool loaded = form1->Form_Load(&message);
    delete splash;
    if (!loaded) {
        delete form1;
        MessageBox::critical(nullptr, message);
        return nullptr;
    }
    form1->show();
    return form1;
}
