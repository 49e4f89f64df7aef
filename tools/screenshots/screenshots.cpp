// Renders the windows of the diary, filled with a sample page, into docs/*.png.
// Usage: screenshots OUTPUT_FOLDER ICON_FOLDER
#include "appearance/ColourScheme.h"
#include "appearance/FrmAbout.h"
#include "main_window/Form1.h"
#include "main_window/Form1Controls.h"
#include "platform/AppInfo.h"
#include "platform/EntryBox.h"
#include "platform/Fonts.h"
#include "platform/MonthCalendar.h"
#include "weather/Form2.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

void save(QWidget* widget, const QString& path)
{
    QApplication::processEvents();
    widget->grab().save(path);
}

void fillSamplePage(Form1& form)
{
    controlsOf(&form).Text1->setPlainText(QStringLiteral("遠足の準備\n弁当と水筒を忘れない"));
    controlsOf(&form).Text2->setPlainText(QStringLiteral("全員出席"));
    const char* subjects[7] = {"国語", "算数", "理科", "社会", "音楽", "体育", "学活"};
    const char* contents[7] = {"漢字の書き取り（p.32〜35）", "分数のかけ算", "てこのはたらき",  "日本の米づくり",
                               "リコーダー「ふるさと」",     "なわとび",     "遠足のしおり作り"};
    for (int k = 0; k < 7; ++k) {
        controlsOf(&form).Text3[k]->setPlainText(QString::fromUtf8(subjects[k]));
        controlsOf(&form).Text4[k]->setPlainText(QString::fromUtf8(contents[k]));
    }
    controlsOf(&form).Text5->setPlainText(
        QStringLiteral("なわとびで二重とびが 10 回できた。明日は遠足なので早くねる。"));
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    Fonts::installSubstitutions();
    if (argc < 3)
        return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    const QDir icons(QString::fromLocal8Bit(argv[2]));
    QTemporaryDir folder;
    for (const QString& name : icons.entryList({QStringLiteral("*.ico")}))
        QFile::copy(icons.filePath(name), folder.filePath(name));
    AppInfo::setProgramFolderForTesting(folder.path());
    AppInfo::setTodayForTesting(QDate(2002, 5, 10));

    Form1 form;
    QString message;
    if (!form.Form_Load(&message))
        return 1;
    form.show();
    form.Form_Activate();
    fillSamplePage(form);
    save(&form, out + QStringLiteral("/main_window.png"));

    controlsOf(&form).Text1->setForeColour(ColourValue(0x000000FF));
    controlsOf(&form).Text3[2]->setForeColour(ColourValue(0x00C00000));
    controlsOf(&form).Text4[2]->setForeColour(ColourValue(0x00C00000));
    controlsOf(&form).Text5->setForeColour(ColourValue(0x00008000));
    form.Label7_Click();
    save(form.weatherPicker(), out + QStringLiteral("/form2.png"));
    form.weatherPicker()->Command2[0]->click();
    save(&form, out + QStringLiteral("/main_window_colours.png"));

    ApplyColourScheme(form, {{ColourValue(0x00804000), ColourValue(0x00F0F8E8), ColourValue(0x00402000),
                              ColourValue(0x00E0FFF0), ColourValue(0x00FFFFFF), ColourValue(0x00408000)}});
    form.Command1_Click();
    save(form.openColourSettings(), out + QStringLiteral("/frmAbout.png"));
    save(&form, out + QStringLiteral("/main_window_scheme.png"));
    return 0;
}
