// The yardstick for start-up: the least a Qt Widgets program needs to show a
// window of the diary's size with one calendar and 17 text boxes in the same
// fonts and the same amount of Japanese text. It shares nothing with the diary
// but Qt and the watcher that reports its first frame.
#include "first_frame.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QFont>
#include <QPlainTextEdit>
#include <QWidget>

namespace {

const QString Gothic = QStringLiteral("ＭＳ Ｐゴシック");
const QString Mincho = QStringLiteral("ＭＳ Ｐ明朝");

QFont font(const QString& face, double points)
{
    QFont f(face);
    f.setPointSizeF(points);
    f.setStyleHint(face == Mincho ? QFont::Serif : QFont::SansSerif);
    return f;
}

QRect twips(int left, int top, int width, int height)
{
    const auto px = [](int t) { return (t + 7) / 15; };
    return QRect(px(left), px(top), px(width), px(height));
}

QPlainTextEdit* box(QWidget* parent, QRect geometry, const QString& text)
{
    auto* edit = new QPlainTextEdit(text, parent);
    edit->setGeometry(geometry);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return edit;
}

} // namespace

bool benchWindowReady(QWidget* window) { return window->objectName() == QLatin1String("minimal"); }

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QFont::insertSubstitutions(Gothic, {QStringLiteral("IPAPGothic"), QStringLiteral("IPAexGothic"),
                                        QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP")});
    QFont::insertSubstitutions(Mincho, {QStringLiteral("IPAPMincho"), QStringLiteral("IPAexMincho"),
                                        QStringLiteral("IPAMincho"), QStringLiteral("Noto Serif CJK JP")});

    QWidget window;
    window.setObjectName(QStringLiteral("minimal"));
    window.setWindowTitle(QStringLiteral("minimal"));
    window.setGeometry(141, 47, 625, 641);

    auto* calendar = new QCalendarWidget(&window);
    calendar->setGeometry(twips(240, 480, 2385, 2220));
    calendar->setFont(font(Gothic, 9));

    box(&window, twips(240, 3240, 2295, 1935), QStringLiteral("5月15日の予定\n部活の練習試合"));
    box(&window, twips(240, 6840, 2175, 1095), QStringLiteral("出席"));
    for (int k = 0; k < 7; ++k) {
        const int top = 480 + 1080 * k;
        box(&window, twips(3360, top, 1815, 1080), QStringLiteral("国語"))->setFont(font(Mincho, 12));
        box(&window, twips(5160, top, 3735, 1095), QStringLiteral("国語：教科書p.%1から音読").arg(k + 12))
            ->setFont(font(Mincho, 9));
    }
    box(&window, twips(960, 8160, 7935, 975),
        QStringLiteral("45日目。今日はとても楽しかった。\n友達と放課後に話した。"));

    window.show();
    return QApplication::exec();
}
