// The main diary window: the calendar, the entry boxes bound to the day
// record, the colour captions, the weather picture and the two buttons.
#pragma once

#include "appearance/SchemeTarget.h"
#include "platform/ColourValue.h"
#include "store/Day.h"
#include "weather/WeatherReceiver.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class AutoSave;
class CaptionLabel;
class DataControl;
class Diary;
class EntryBox;
class FaceButton;
class Form2;
class FrmAbout;
class HiddenField;
class MonthCalendar;
class Notice;
class PictureBox;
class SearchWindow;

class Form1 : public QWidget, public SchemeTarget, public WeatherReceiver {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Load step: the workbook path, the calendar on today, the colour scheme,
    // then the store opens. False, with a message for the user, when the
    // window cannot be used.
    bool Form_Load(QString* message);

    // The first-activation marker: "0" until the first activation completes.
    QString tag() const { return m_tag; }

    // The diary under the page: every day, the page on screen's edits included.
    Diary& diary() { return *m_diary; }

    void setBackColour(ColourValue colour) override;
    MonthCalendar* schemeCalendar() const override { return MonthView1; }
    void setWeather(const QPixmap& picture, const QString& path) override;
    QString weatherPath() const override;

    FrmAbout* openColourSettings() const;
    Form2* weatherPicker() const;
    SearchWindow* searchWindow() const;
    Notice* notice() const { return m_notice; }

    // Saves the page on screen and the colour scheme without closing (the
    // desktop session is about to end). False if something could not be saved.
    bool commitData();

    void StoreDayColours();
    void ShowDayColours();

    // All thirteen caption labels, in the order the colour scheme sets them.
    QList<CaptionLabel*> captionLabels() const override;

public slots:
    void Form_Activate();
    void MonthView1_DateClick(const QDate& date);
    void MonthView1_MouseDown();
    void MonthView1_GetDayBold(const QDate& first, qint16 count, QList<bool>& state);
    void Command1_Click();
    void Command2_Click();
    void Label7_Click();
    void Picture1_Click();
    void Label1_Click();
    void Label3_Click(int index);
    void Label6_Click();
    // Ctrl+F and "検索…" in the entry boxes' menus: the one search window.
    void openSearch();
    // Ctrl+T and "先週と同じ時間割": the empty subject boxes typed from the
    // last earlier day of the same weekday that has a timetable.
    void fillTimetable();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Tests, benchmarks and the screenshot tool read the controls through it.
    friend struct Form1Controls;

    // Controls, by their design names.
    FaceButton* Command1 = nullptr;
    FaceButton* Command2 = nullptr;
    MonthCalendar* MonthView1 = nullptr;
    CaptionLabel* Label1 = nullptr;
    std::array<CaptionLabel*, 1> Label2{};
    std::array<CaptionLabel*, 7> Label3{};
    CaptionLabel* Label4 = nullptr;
    CaptionLabel* Label5 = nullptr;
    CaptionLabel* Label6 = nullptr;
    CaptionLabel* Label7 = nullptr;
    EntryBox* Text1 = nullptr;
    EntryBox* Text2 = nullptr;
    std::array<EntryBox*, 7> Text3{};
    std::array<EntryBox*, 7> Text4{};
    EntryBox* Text5 = nullptr;
    HiddenField* Text6 = nullptr;
    std::array<HiddenField*, 7> Text7_13{}; // Text7 (period 1) ... Text13 (period 7)
    HiddenField* Text14 = nullptr;
    HiddenField* Text15 = nullptr;
    PictureBox* Picture1 = nullptr;
    DataControl* Data1 = nullptr;

    void createControls();
    void describeControls();
    void bindFields();
    void goToDay(const QDate& date);
    void writeLeftDay();
    void tellReport();
    void chooseEntryColour(int field, std::initializer_list<EntryBox*> boxes);
    // The box whose colour a colour field (Day::ColourField) keeps.
    EntryBox* colouredBox(int field) const;
    bool Form_Unload();
    ColourScheme schemeToSave() const;
    // Ctrl+P prints, Ctrl+Shift+P exports a PDF: the day on screen, its week, month or year.
    void printDiary(bool toPdf);
    void createShortcuts();
    void tearDown();
    void showFoundDay(const QDate& date);

    std::unique_ptr<Diary> m_diary;
    AutoSave* m_autoSave = nullptr;
    // Told without taking the keyboard: what the saves found while the pupil writes.
    Notice* m_notice = nullptr;
    QString m_tag = QStringLiteral("0");
    QPointer<FrmAbout> m_about;
    QPointer<Form2> m_weather;
    QPointer<SearchWindow> m_search;
    // Colour fields of the day on screen that held no colour number, with the
    // colour their box kept: such a field is left as it is in the file until
    // the user chooses a colour for that box.
    std::array<std::optional<ColourValue>, Day::Colours> m_unreadColours{};
};
