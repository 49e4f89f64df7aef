#include "platform/EntryBox.h"

#include "platform/InputMethodSwitch.h"
#include "platform/WidgetColour.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include <memory>

EntryBox::EntryBox(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setTabChangesFocus(true);
    setAttribute(Qt::WA_InputMethodEnabled, true);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    document()->setDocumentMargin(1);
    applyForeColour();
    applyFrameColour();
}

void EntryBox::setBoundText(const QString& text)
{
    if (text == toPlainText())
        return;
    // Text read in from the file while the pupil types here (another program's
    // save, kept after the pupil's own): the cursor stays where the keys go.
    const int cursor = hasFocus() ? textCursor().position() : -1;
    setPlainText(text);
    if (cursor >= 0) {
        QTextCursor kept = textCursor();
        kept.setPosition(std::min(cursor, int(text.size())));
        setTextCursor(kept);
    }
}

void EntryBox::setForeColour(ColourValue colour)
{
    m_fore = colour;
    applyForeColour();
}

void EntryBox::applyForeColour() { setWidgetColour(this, QPalette::Text, m_fore); }

void EntryBox::applyFrameColour()
{
    // The style draws the frame from the window colour, which the main window's
    // colour scheme sets; the box is outside the scheme, so its frame keeps the desktop's.
    QPalette p = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, QPalette::Window, QApplication::palette().color(group, QPalette::Window));
    setPalette(p);
}

void EntryBox::focusInEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusInEvent(event);
    viewport()->update();
    InputMethodSwitch::turnOnJapanese();
}

void EntryBox::focusOutEvent(QFocusEvent* event)
{
    QPlainTextEdit::focusOutEvent(event);
    viewport()->update();
}

void EntryBox::paintEvent(QPaintEvent* event)
{
    QPlainTextEdit::paintEvent(event);
    // The box with the keyboard shows it by a line inside its frame in the
    // highlight colour: the blinking cursor alone is hard to find.
    if (hasFocus()) {
        QPainter painter(viewport());
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(QRectF(viewport()->rect()).adjusted(1, 1, -1, -1));
    }
}

void EntryBox::changeEvent(QEvent* event)
{
    QPlainTextEdit::changeEvent(event);
    // A system colour follows the desktop when its palette changes.
    if (event->type() == QEvent::ApplicationPaletteChange) {
        applyFrameColour();
        if (m_fore.isSystem())
            applyForeColour();
    }
}

void EntryBox::keyPressEvent(QKeyEvent* event)
{
    // Shift+F10 opens the menu as the Menu key does, at the cursor.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, cursorRect().center(),
                               viewport()->mapToGlobal(cursorRect().center()));
        contextMenuEvent(&menu);
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void EntryBox::contextMenuEvent(QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    if (!actions().isEmpty()) {
        menu->addSeparator();
        menu->addActions(actions());
    }
    menu->exec(event->globalPos());
}
