// A multi-line entry box bound to a record field: wraps, never shows scroll
// bars, takes Enter as a new line and Tab as a focus move, and turns the
// Japanese input method on when it gets the focus. Actions added to the box
// (QWidget::addAction) follow the standard entries of its context menu.
#pragma once

#include "platform/BoundField.h"
#include "platform/ColourValue.h"

#include <QPlainTextEdit>

class EntryBox : public QPlainTextEdit, public BoundField {
    Q_OBJECT
public:
    explicit EntryBox(QWidget* parent = nullptr);

    QString boundText() const override { return toPlainText(); }
    void setBoundText(const QString& text) override;

    ColourValue foreColour() const { return m_fore; }
    void setForeColour(ColourValue colour);

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyForeColour();
    void applyFrameColour();

    ColourValue m_fore = ColourValue::system(ColourValue::WindowText);
};
