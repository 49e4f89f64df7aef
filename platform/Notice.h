// A message for the pupil that never takes the keyboard: it opens beside its
// window without taking the focus, so that typing goes on into the box, and
// stays until its button is clicked. For what arises while the pupil types;
// the questions of a day change or the close stay message boxes.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

class Notice : public QWidget {
    Q_OBJECT
public:
    explicit Notice(QWidget* owner);

    // Shows the text; one not yet closed stays above it.
    void tell(const QString& text);
    QString text() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void placeOverOwner();

    QWidget* m_owner;
    QLabel* m_text;
    QPushButton* m_close;
};
