// A borderless picture box that sizes itself to the picture it shows and
// reports clicks.
#pragma once

#include "platform/ColourValue.h"

#include <QMetaMethod>
#include <QPixmap>
#include <QWidget>

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    void setBackColour(ColourValue colour);
    ColourValue backColour() const { return m_back; }
    // An empty pixmap clears the picture and keeps the box's size.
    void setPicture(const QPixmap& picture);
    QPixmap picture() const { return m_picture; }

    // Something listens to clicked(): only then is this a control.
    bool isClickable() const { return isSignalConnected(QMetaMethod::fromSignal(&PictureBox::clicked)); }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    ColourValue m_back = ColourValue::system(ColourValue::WindowBackground);
    QPixmap m_picture;
};
