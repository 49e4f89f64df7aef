#include "main_window/Form1.h"

#include "appearance/FrmAbout.h"
#include "appearance/SettingsFile.h"
#include "main_window/AutoSave.h"
#include "main_window/CalendarRules.h"
#include "main_window/DataControl.h"
#include "main_window/WeatherPicture.h"
#include "platform/AccessibleWidgets.h"
#include "platform/AppInfo.h"
#include "platform/CaptionLabel.h"
#include "platform/ColourChooser.h"
#include "platform/DateText.h"
#include "platform/EntryBox.h"
#include "platform/FaceButton.h"
#include "platform/HiddenField.h"
#include "platform/MessageBox.h"
#include "platform/MonthCalendar.h"
#include "platform/Notice.h"
#include "platform/PictureBox.h"
#include "platform/WidgetColour.h"
#include "printing/PrintCommands.h"
#include "search/SearchWindow.h"
#include "store/DayRecord.h"
#include "store/Diary.h"
#include "store/DiaryStore.h"
#include "weather/Form2.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QShortcut>
#include <QTextCursor>
#include <QTimer>

Form1::Form1(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Merrow日記Lt."));
    setWindowIcon(QIcon(QStringLiteral(":/window.ico")));
    setAttribute(Qt::WA_InputMethodEnabled, false);
    createControls();
    m_diary = std::make_unique<Diary>();
    bindFields();
    m_diary->setPage(Data1);
    m_notice = new Notice(this);
    // The client area's top-left corner at (141, 47), 625 x 641.
    setGeometry(141, 47, 625, 641);

    connect(MonthView1, &MonthCalendar::mouseDown, this, &Form1::MonthView1_MouseDown);
    connect(MonthView1, &MonthCalendar::keyboardSelecting, this, &Form1::MonthView1_MouseDown);
    connect(MonthView1, &MonthCalendar::dateClick, this, &Form1::MonthView1_DateClick);
    MonthView1->setDayBoldHandler(
        [this](const QDate& first, qint16 count, QList<bool>& state) { MonthView1_GetDayBold(first, count, state); });
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Label7, &CaptionLabel::clicked, this, &Form1::Label7_Click);
    connect(Picture1, &PictureBox::clicked, this, &Form1::Picture1_Click);
    connect(Label1, &CaptionLabel::clicked, this, &Form1::Label1_Click);
    for (int k = 0; k < 7; ++k)
        connect(Label3[k], &CaptionLabel::clicked, this, [this, k] { Label3_Click(k); });
    connect(Label6, &CaptionLabel::clicked, this, &Form1::Label6_Click);
    createShortcuts();
}

// Every key of the main window beyond its controls' own.
void Form1::createShortcuts()
{
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this), &QShortcut::activated, this,
            [this] { printDiary(false); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), this), &QShortcut::activated, this,
            [this] { printDiary(true); });
    // Window-wide keys that the entry boxes' menus show too.
    const auto windowAction = [this](const QString& text, const char* name, QKeySequence keys, void (Form1::*slot)()) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, slot);
        addAction(action);
        return action;
    };
    QAction* search = windowAction(QStringLiteral("検索…"), "searchAction", Qt::CTRL | Qt::Key_F, &Form1::openSearch);
    QAction* timetable = windowAction(QStringLiteral("先週と同じ時間割"), "timetableAction", Qt::CTRL | Qt::Key_T,
                                      &Form1::fillTimetable);
    // The caption's click by keyboard: each coloured box's menu chooses its colour.
    const auto colourEntry = [this](EntryBox* box, const std::function<void()>& choose) {
        auto* colour = new QAction(QStringLiteral("文字の色…"), box);
        colour->setObjectName(QStringLiteral("colourAction"));
        connect(colour, &QAction::triggered, this, choose);
        box->addAction(colour);
    };
    colourEntry(Text1, [this] { Label1_Click(); });
    for (int k = 0; k < Day::Periods; ++k) {
        colourEntry(Text3[size_t(k)], [this, k] { Label3_Click(k); });
        colourEntry(Text4[size_t(k)], [this, k] { Label3_Click(k); });
    }
    colourEntry(Text5, [this] { Label6_Click(); });
    for (EntryBox* box : findChildren<EntryBox*>())
        box->addActions({search, timetable});
}

void Form1::fillTimetable()
{
    if (!m_diary->isOpen() || m_tag != QLatin1String("1"))
        return;
    const QDate date = m_diary->currentDate();
    const QDate from = m_diary->lastTimetableDay(date);
    if (!from.isValid()) {
        m_notice->tell(QStringLiteral("%1より前の%2曜日に、時間割を書いた日がありません。")
                           .arg(DateText::withWeekday(date))
                           .arg(DateText::weekday(date.dayOfWeek())));
        return;
    }
    // Typed for the pupil: saved, searched and undone (Ctrl+Z in the box) like any typing.
    const Day source = m_diary->day(from);
    QStringList filled;
    for (int k = 0; k < Day::Periods; ++k) {
        const QString& subject = source.subjects[size_t(k)];
        if (subject.isEmpty() || !Text3[size_t(k)]->toPlainText().isEmpty())
            continue;
        QTextCursor(Text3[size_t(k)]->document()).insertText(subject);
        filled << QStringLiteral("%1時間目 %2").arg(k + 1).arg(subject);
    }
    m_notice->tell(filled.isEmpty() ? QStringLiteral("時間割の欄はどれも書いてあるので、何も入れませんでした。")
                                    : QStringLiteral("%1の時間割を入れました: %2")
                                          .arg(DateText::withWeekday(from), filled.join(QStringLiteral("、"))));
}

Form1::~Form1() { tearDown(); }

void Form1::tearDown()
{
    // Nothing may save into a diary being torn down.
    delete std::exchange(m_autoSave, nullptr);
    // The dialogs have no owner, yet none of them outlives the main window.
    delete m_about.data();
    delete m_weather.data();
    delete m_search.data();
}

void Form1::bindFields()
{
    Data1->bind(Text1, DayRecord::plan());
    Data1->bind(Text2, DayRecord::attendance());
    for (int k = 0; k < 7; ++k) {
        Data1->bind(Text3[k], DayRecord::subject(k));
        Data1->bind(Text4[k], DayRecord::content(k));
    }
    Data1->bind(Text5, DayRecord::impressions());
    Data1->bind(Text6, DayRecord::planColour());
    for (int k = 0; k < 7; ++k)
        Data1->bind(Text7_13[k], DayRecord::periodColour(k));
    Data1->bind(Text14, DayRecord::impressionsColour());
    Data1->bind(Text15, DayRecord::weather());
}

QList<CaptionLabel*> Form1::captionLabels() const
{
    QList<CaptionLabel*> labels{Label1, Label2[0]};
    for (CaptionLabel* label : Label3)
        labels << label;
    labels << Label4 << Label5 << Label6 << Label7;
    return labels;
}

void Form1::setBackColour(ColourValue colour)
{
    setWidgetColour(this, QPalette::Window, colour);
    setAutoFillBackground(true);
}

bool Form1::Form_Load(QString* message)
{
    MonthView1->setValue(CalendarRules::openingDate(AppInfo::today()));
    LoadColourScheme(*this);
    return m_diary->open(DiaryStore::workbookPath(), message);
}

bool Form1::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        // Back from another window: the box the keyboard returns to is said.
        if (m_tag == QLatin1String("1"))
            AccessibleWidgets::announceFocus(this);
        Form_Activate();
    }
    return QWidget::event(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    // One of this window's own windows closing gives the keyboard back here,
    // to the box it came from, even where no window manager passes it on.
    if (event->type() == QEvent::Hide && !event->spontaneous() && watched->isWidgetType()
        && static_cast<QWidget*>(watched)->isWindow())
        QTimer::singleShot(0, this, [this] {
            if (isVisible() && !QApplication::activeModalWidget() && !QApplication::activePopupWidget()) {
                raise();
                activateWindow();
            }
        });
    return QWidget::eventFilter(watched, event);
}

void Form1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A desktop without a window manager may never activate the window; the
    // first activation must still bring today's page.
    if (m_tag == QLatin1String("0"))
        QTimer::singleShot(0, this, &Form1::Form_Activate);
}

void Form1::Form_Activate()
{
    if (m_tag.toInt() != 0 || !m_diary->isOpen())
        return;
    goToDay(MonthView1->value());
    ShowDayColours();
    LoadColourScheme(*this);
    m_tag = QStringLiteral("1");
    Text1->setFocus(Qt::OtherFocusReason);
    writeLeftDay();
    // From here on the page is also saved as it changes, not only when it is left.
    m_autoSave = new AutoSave(this, *m_diary, m_notice, [this] { StoreDayColours(); });
    for (EntryBox* box : findChildren<EntryBox*>())
        connect(box, &QPlainTextEdit::textChanged, m_autoSave, &AutoSave::pageChanged);
}

void Form1::goToDay(const QDate& date)
{
    // The day left keeps its edits as pending; writeLeftDay() saves them.
    m_diary->showDate(date);
    setAccessibleDescription(QStringLiteral("表示中の日: ") + DateText::withWeekday(date));
}

void Form1::writeLeftDay()
{
    // The new page is drawn first; saving a large workbook must not delay it.
    repaint();
    SaveProblem problem;
    const bool written = m_diary->write(&problem);
    tellReport();
    // The pupil goes on writing on the new page: being held is told without a question.
    if (!problem.holder.isEmpty())
        m_notice->tell(DiaryStore::heldMessage(m_diary->path(), problem.holder));
    else if (!written)
        MessageBox::warning(this, DiaryStore::saveErrorMessage(*m_diary, problem.error));
}

void Form1::tellReport()
{
    const QString report = DiaryStore::reportMessage(m_diary->path(), m_diary->takeReport());
    if (!report.isEmpty())
        m_notice->tell(report);
}

void Form1::MonthView1_DateClick(const QDate&)
{
    goToDay(MonthView1->value());
    ShowDayColours();
    writeLeftDay();
}

void Form1::MonthView1_MouseDown() { StoreDayColours(); }

void Form1::MonthView1_GetDayBold(const QDate&, qint16 count, QList<bool>& state)
{
    CalendarRules::markBoldDays(count, MonthView1->startOfWeek(), state);
}

void Form1::Command1_Click()
{
    if (!m_about) {
        m_about = new FrmAbout(this);
        m_about->installEventFilter(this);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

ColourScheme Form1::schemeToSave() const
{
    // An open dialog's picks are kept even unconfirmed; a closed one's were
    // either applied or discarded.
    return m_about && m_about->isVisible() ? m_about->swatchScheme() : CurrentColourScheme(*this);
}

FrmAbout* Form1::openColourSettings() const { return m_about.data(); }

Form2* Form1::weatherPicker() const { return m_weather.data(); }

void Form1::Command2_Click() { close(); }

void Form1::Label7_Click()
{
    if (!m_weather) {
        m_weather = new Form2(this);
        m_weather->installEventFilter(this);
    }
    m_weather->show();
    m_weather->raise();
    m_weather->activateWindow();
}

void Form1::Picture1_Click() { Label7_Click(); }

void Form1::Label1_Click() { chooseEntryColour(Day::PlanColour, {Text1}); }

void Form1::Label3_Click(int index)
{
    if (index < 0 || index >= 7)
        return;
    chooseEntryColour(Day::periodColour(index), {Text3[index], Text4[index]});
}

void Form1::Label6_Click() { chooseEntryColour(Day::ImpressionsColour, {Text5}); }

void Form1::chooseEntryColour(int field, std::initializer_list<EntryBox*> boxes)
{
    const auto colour = ColourChooser::choose(this);
    if (!colour)
        return;
    for (EntryBox* box : boxes)
        box->setForeColour(*colour);
    // A choice is stored even when it is the colour the box already showed.
    m_unreadColours[size_t(field)].reset();
    if (m_autoSave)
        m_autoSave->pageChanged();
}

EntryBox* Form1::colouredBox(int field) const
{
    if (field == Day::PlanColour)
        return Text1;
    if (field == Day::ImpressionsColour)
        return Text5;
    return Text3[size_t(field - Day::periodColour(0))];
}

void Form1::StoreDayColours()
{
    Day day = m_diary->currentDay();
    for (int field = 0; field < Day::Colours; ++field) {
        const ColourValue colour = colouredBox(field)->foreColour();
        if (m_unreadColours[size_t(field)] != colour)
            day.setColour(field, colour);
    }
    m_diary->setDay(m_diary->currentDate(), day);
    // A colour number stored as text elsewhere goes back as a number.
    m_diary->storeNumbersAsNumbers();
}

void Form1::ShowDayColours()
{
    // A field that does not hold a colour number leaves the box's colour as it is.
    const Day day = m_diary->currentDay();
    const auto apply = [&](int field, std::initializer_list<EntryBox*> boxes) {
        const auto colour = day.colour(field);
        m_unreadColours[size_t(field)] = colour ? std::nullopt : std::optional((*boxes.begin())->foreColour());
        if (colour) {
            for (EntryBox* box : boxes)
                box->setForeColour(*colour);
        }
    };
    apply(Day::PlanColour, {Text1});
    for (int k = 0; k < Day::Periods; ++k)
        apply(Day::periodColour(k), {Text3[k], Text4[k]});
    apply(Day::ImpressionsColour, {Text5});
    Picture1->setPicture(WeatherPicture::forStoredPath(day.weather, Picture1->devicePixelRatioF()));
    Picture1->setAccessibleName(WeatherPicture::spokenName(day.weather));
}

void Form1::setWeather(const QPixmap& picture, const QString& path)
{
    Picture1->setPicture(picture);
    Picture1->setAccessibleName(WeatherPicture::spokenName(path));
    Day day = m_diary->currentDay();
    day.weather = path;
    m_diary->setDay(m_diary->currentDate(), day);
    if (m_autoSave)
        m_autoSave->pageChanged();
}

QString Form1::weatherPath() const { return Text15->boundText(); }

void Form1::printDiary(bool toPdf)
{
    if (!m_diary->isOpen() || m_tag != QLatin1String("1"))
        return;
    StoreDayColours(); // the colours on screen print as chosen, like the typed text
    // Paper has many dots to the pixel: the icons' largest images.
    const auto weather = [](const QString& path) { return WeatherPicture::forStoredPath(path, 4.0); };
    const PrintCommands::Source source{*m_diary, MonthView1->value(), MonthView1->startOfWeek(), weather};
    toPdf ? PrintCommands::exportPdf(this, source) : PrintCommands::print(this, source);
    activateWindow();
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (!Form_Unload()) {
        event->ignore();
        return;
    }
    event->accept();
    tearDown();
    QCoreApplication::quit();
}

bool Form1::commitData()
{
    if (!m_diary->isOpen() || m_tag != QLatin1String("1"))
        return true;
    StoreDayColours();
    QString settingsError;
    const bool settingsSaved = SaveColourScheme(schemeToSave(), &settingsError);
    return m_diary->write(nullptr) && settingsSaved;
}

bool Form1::Form_Unload()
{
    // The colours on screen are part of the page: keep a choice made just before closing.
    if (m_diary->isOpen() && m_tag == QLatin1String("1"))
        StoreDayColours();
    QString settingsError;
    if (!SaveColourScheme(schemeToSave(), &settingsError))
        MessageBox::warning(this, settingsError);

    SaveProblem problem;
    bool despiteHolder = false;
    while (!m_diary->write(&problem, std::exchange(despiteHolder, false))) {
        const bool held = !problem.holder.isEmpty();
        QString text = held ? DiaryStore::heldAtCloseMessage(m_diary->path(), problem.holder)
                            : DiaryStore::saveErrorMessage(*m_diary, problem.error);
        text += QStringLiteral("\n\n保存しないで終了すると、保存できなかった内容は失われます。");
        QStringList buttons{QStringLiteral("もう一度保存する"), QStringLiteral("終了しない"),
                            QStringLiteral("保存しないで終了する")};
        if (held)
            buttons.insert(2, QStringLiteral("それでも保存する"));
        const int choice = MessageBox::choose(this, text, buttons, 1);
        if (choice == 1)
            return false;
        if (choice == buttons.size() - 1)
            break;
        despiteHolder = held && choice == 2;
        problem = SaveProblem();
    }
    tellReport();
    return true;
}
