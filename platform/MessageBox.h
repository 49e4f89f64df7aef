// Message boxes, with a seam that lets tests answer them in advance.
#pragma once

#include <QMessageBox>
#include <QStringList>

namespace MessageBox {

QMessageBox::StandardButton critical(QWidget* parent, const QString& text,
                                     QMessageBox::StandardButtons buttons = QMessageBox::Ok);
QMessageBox::StandardButton warning(QWidget* parent, const QString& text,
                                    QMessageBox::StandardButtons buttons = QMessageBox::Ok);
QMessageBox::StandardButton information(QWidget* parent, const QString& text);
// A question whose buttons carry our own texts; returns the index of the one pressed.
int choose(QWidget* parent, const QString& text, const QStringList& buttonTexts, int escapeIndex);

// Test seams: queued answers are used instead of showing a box, and every
// text that would have been shown is recorded.
void setNextAnswerForTesting(int answer);
QStringList shownTextsForTesting();
void resetForTesting();

} // namespace MessageBox
