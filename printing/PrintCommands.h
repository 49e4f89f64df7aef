// The main window's two commands: print (Ctrl+P) and export to PDF
// (Ctrl+Shift+P), from asking for the range to the last page.
#pragma once

#include "printing/DiaryPrinter.h"

#include <QDate>

class Diary;
class QWidget;

namespace PrintCommands {

// The days to print from: the diary with the page's edits, the date on screen.
struct Source {
    Diary& diary;
    QDate date;
    int weekStart; // the calendar's first weekday, 1 Sunday ... 7 Saturday
    DiaryPrinter::WeatherLoader weather;
};

// The range dialog, then the platform's print dialog (a printer or a PDF file).
void print(QWidget* parent, const Source& source);
// The range dialog, then a save dialog with a file name in the home folder.
void exportPdf(QWidget* parent, const Source& source);

} // namespace PrintCommands
