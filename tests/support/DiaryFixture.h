// A main window over a diary in a temporary program folder, as the start
// sequence leaves it, with helpers to click days and read the file back.
#pragma once

#include "support/TestFolder.h"

#include <QDate>
#include <QString>

#include <memory>

class Form1;

class DiaryFixture {
public:
    explicit DiaryFixture(const QDate& today = QDate(2002, 5, 10));
    ~DiaryFixture();

    TestFolder& folder() { return m_folder; }
    QString workbookPath() const;

    // Loads, shows and activates the main window; false if the load step refused.
    bool start(QString* message = nullptr);
    Form1* form() const { return m_form.get(); }
    // Closes the main window as the user would; the window is gone afterwards.
    bool closeWindow();

    // A left click on a day of the calendar (showing its month first).
    void clickDate(const QDate& date, Qt::MouseButton button = Qt::LeftButton);

    // Types text as an input method commits it (QTest cannot key Japanese).
    static void type(QWidget* widget, const QString& text);

    // One field of the workbook on disk; record is 1-based.
    QString fileField(int record, const QString& column) const;

private:
    TestFolder m_folder;
    std::unique_ptr<Form1> m_form;
};
