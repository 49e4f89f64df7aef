#include "platform/Fonts.h"

#include <QApplication>
#include <QStringList>

namespace Fonts {

void installSubstitutions()
{
    const QStringList gothic = {QStringLiteral("IPAPGothic"), QStringLiteral("IPAexGothic"),
                                QStringLiteral("IPAGothic"),  QStringLiteral("Noto Sans CJK JP"),
                                QStringLiteral("VL PGothic"), QStringLiteral("TakaoPGothic")};
    const QStringList mincho = {QStringLiteral("IPAPMincho"), QStringLiteral("IPAexMincho"),
                                QStringLiteral("IPAMincho"), QStringLiteral("Noto Serif CJK JP"),
                                QStringLiteral("TakaoPMincho")};
    QFont::insertSubstitutions(Gothic, gothic);
    QFont::insertSubstitutions(Mincho, mincho);
    // One Japanese face for the whole window also spares the font fallback
    // searches a Latin default face would need for every Japanese caption.
    QApplication::setFont(font(Gothic, 9));
}

QFont font(const QString& face, double points, bool bold, bool italic)
{
    QFont f(face);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    // Without any listed face, any installed Japanese face of the right kind.
    f.setStyleHint(face == Mincho ? QFont::Serif : QFont::SansSerif);
    return f;
}

} // namespace Fonts
