// Where every control of the main window stands, with its caption, font,
// design colours and keyboard order. Positions are in twips.
#include "main_window/Form1.h"

#include "appearance/ColourScheme.h"
#include "main_window/DataControl.h"
#include "platform/CaptionLabel.h"
#include "platform/EntryBox.h"
#include "platform/FaceButton.h"
#include "platform/Fonts.h"
#include "platform/HiddenField.h"
#include "platform/MonthCalendar.h"
#include "platform/PictureBox.h"
#include "platform/Twips.h"
#include "store/DayRecord.h"
#include "store/SchoolYear.h"

namespace {

CaptionLabel* caption(QWidget* form, const char* name, const QString& text, QRect twips, double points, bool bold,
                      bool italic = false)
{
    auto* label = new CaptionLabel(text, form);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(Twips::rect(twips.x(), twips.y(), twips.width(), twips.height()));
    label->setFont(Fonts::font(Fonts::Gothic, points, bold, italic));
    return label;
}

EntryBox* entry(QWidget* form, const QString& name, int left, int top, int width, int height)
{
    auto* box = new EntryBox(form);
    box->setObjectName(name);
    box->setGeometry(Twips::rect(left, top, width, height));
    return box;
}

HiddenField* hidden(QWidget* form, const QString& name, int left, int width)
{
    auto* field = new HiddenField(form);
    field->setObjectName(name);
    field->setGeometry(Twips::rect(left, 9240, width, 270));
    return field;
}

} // namespace

void Form1::createControls()
{
    Command1 = new FaceButton(QStringLiteral("色変更"), ColourValue(0x00FDE8C4), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(Twips::rect(0, 0, 1095, 375));
    Command2 = new FaceButton(QStringLiteral("終了"), ColourValue(0x0095E1FB), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(Twips::rect(1080, 0, 1095, 375));

    MonthView1 = new MonthCalendar(this);
    MonthView1->setObjectName(QStringLiteral("MonthView1"));
    MonthView1->setGeometry(Twips::rect(240, 480, 2385, 2220));
    MonthView1->setFont(Fonts::font(Fonts::Gothic, 9));
    MonthView1->setRange(DiaryYear.first, DiaryYear.last());
    MonthView1->setValue(DiaryYear.first);

    Label1 = caption(this, "Label1", QStringLiteral("今日の予定"), {360, 2880, 2055, 375}, 14.25, true);
    Text1 = entry(this, QStringLiteral("Text1"), 240, 3240, 2295, 1935);
    Label7 = caption(this, "Label7", QStringLiteral("今日の天気"), {360, 5400, 1095, 615}, 14.25, true);

    Picture1 = new PictureBox(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(Twips::rect(1440, 5400, 615, 495));
    Picture1->setFocusPolicy(Qt::TabFocus);

    Label2[0] = caption(this, "Label2(0)", QStringLiteral("出欠記録"), {600, 6360, 1455, 375}, 14.25, true);
    Text2 = entry(this, QStringLiteral("Text2"), 240, 6840, 2175, 1095);
    Label4 = caption(this, "Label4", QStringLiteral("時間割"), {3720, 120, 1215, 375}, 14.25, true);
    Label5 = caption(this, "Label5", QStringLiteral("授業内容"), {6120, 120, 1695, 375}, 14.25, true);

    for (int k = 0; k < 7; ++k) {
        const int rowTop = 480 + 1080 * k;
        Label3[k] = caption(this, "", QString::number(k + 1), {2880, rowTop + 240, 375, 615}, 24, true, true);
        Label3[k]->setObjectName(QStringLiteral("Label3(%1)").arg(k));
        Text3[k] = entry(this, QStringLiteral("Text3(%1)").arg(k), 3360, rowTop, 1815, 1080);
        Text3[k]->setFont(Fonts::font(Fonts::Mincho, 12));
        Text4[k] = entry(this, QStringLiteral("Text4(%1)").arg(k), 5160, rowTop, 3735, 1095);
        Text4[k]->setFont(Fonts::font(Fonts::Mincho, 9));
    }

    Label6 = caption(this, "Label6", QStringLiteral("感想・記録"), {120, 8400, 735, 615}, 14.25, false);
    Text5 = entry(this, QStringLiteral("Text5"), 960, 8160, 7935, 975);

    Text6 = hidden(this, QStringLiteral("Text6"), 240, 495);
    for (int k = 0; k < 7; ++k)
        Text7_13[k] = hidden(this, QStringLiteral("Text%1").arg(7 + k), 1005 + 765 * k, 495);
    Text14 = hidden(this, QStringLiteral("Text14"), 6360, 495);
    Text15 = hidden(this, QStringLiteral("Text15"), 7080, 855);

    Data1 = new DataControl(this);
    Data1->setObjectName(QStringLiteral("Data1"));

    // Keyboard order: plan, the seven subject/content pairs, impressions,
    // calendar, attendance, then the buttons and the weather picture.
    QList<QWidget*> order{Text1};
    for (int k = 0; k < 7; ++k)
        order << Text3[k] << Text4[k];
    order << Text5 << MonthView1 << Text2 << Command1 << Picture1 << Command2;
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    describeControls();
    // The design's colours, in force until the settings file's scheme replaces
    // them before the window is first shown, and kept when that file is bad.
    ApplyColourScheme(*this, {{ColourValue(0x000C72A9), ColourValue(0x00C7E8F5), ColourValue(0x00000000),
                               ColourValue(0x00FFFFFF), ColourValue(0x00FFFFFF), ColourValue(0x000C72A9)}});
}

// What a screen reader says of each control; the calendar adds the selected
// day and the weather picture its mark itself.
void Form1::describeControls()
{
    const auto describe = [](QWidget* widget, const QString& name, const QString& description) {
        widget->setAccessibleName(name);
        widget->setAccessibleDescription(description);
    };
    const QString colourHint = QStringLiteral("%1の文字の色を変えられます（欄のメニューの「文字の色…」でも）");
    describe(Command1, Command1->text(), QStringLiteral("画面の配色を変えます"));
    describe(Command2, Command2->text(), QStringLiteral("日記を保存して終了します"));
    MonthView1->setAccessibleName(QStringLiteral("カレンダー"));
    describe(Label1, Label1->text(), colourHint.arg(Label1->text()));
    // The boxes are named as the messages and the printed page name them.
    describe(Text1, DayRecord::boxName(DayRecord::plan()), QStringLiteral("この日の予定"));
    describe(Label7, Label7->text(), QStringLiteral("天気マークを選べます"));
    describe(Picture1, QStringLiteral("天気マーク: なし"), Label7->accessibleDescription());
    describe(Label2[0], Label2[0]->text(), QString());
    describe(Text2, DayRecord::boxName(DayRecord::attendance()), QStringLiteral("この日の出欠"));
    describe(Label4, Label4->text(), QString());
    describe(Label5, Label5->text(), QString());
    for (int k = 0; k < 7; ++k) {
        const QString period = QStringLiteral("%1時間目").arg(k + 1);
        describe(Label3[k], period, colourHint.arg(period));
        describe(Text3[k], DayRecord::boxName(DayRecord::subject(k)), QString());
        describe(Text4[k], DayRecord::boxName(DayRecord::content(k)), QString());
    }
    describe(Label6, Label6->text(), colourHint.arg(QStringLiteral("感想")));
    describe(Text5, DayRecord::boxName(DayRecord::impressions()), QStringLiteral("この日の感想や記録"));
}
