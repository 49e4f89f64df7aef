// A borderless picture box that sizes itself to the picture it shows and
// reports clicks.
#pragma once

#include "platform/ColourValue.h"

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
