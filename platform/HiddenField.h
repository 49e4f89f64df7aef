// A field carried with the record but never shown and never focused.
#pragma once

#include "platform/BoundField.h"

#include <QWidget>

class HiddenField : public QWidget, public BoundField {
    Q_OBJECT
public:
    explicit HiddenField(QWidget* parent = nullptr);

    QString boundText() const override { return m_text; }
    void setBoundText(const QString& text) override { m_text = text; }
    QString text() const { return m_text; }
    void setText(const QString& text) { m_text = text; }

    // Nothing can make it visible.
    void setVisible(bool) override { QWidget::setVisible(false); }

private:
    QString m_text;
};
