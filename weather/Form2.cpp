#include "weather/Form2.h"

#include "platform/AppInfo.h"
#include "platform/CaptionLabel.h"
#include "platform/FaceButton.h"
#include "platform/Fonts.h"
#include "platform/HiddenField.h"
#include "platform/MessageBox.h"
#include "platform/PictureBox.h"
#include "platform/PictureLoader.h"
#include "platform/Twips.h"
#include "platform/WidgetColour.h"
#include "platform/WindowHints.h"
#include "weather/WeatherReceiver.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QPushButton>

namespace {

const char* const IconFiles[5] = {"はれ.ico", "くもり.ico", "あめ.ico", "ゆき.ico", "かみなり.ico"};
const char* const ButtonPictures[5] = {":/button_sun.ico", ":/button_cloud.ico", ":/button_rain.ico",
                                       ":/button_snow.ico", ":/button_thunder.ico"};
const char* const ButtonNames[5] = {"晴れ", "くもり", "雨", "雪", "かみなり"};

} // namespace

QString Form2::iconFileName(int index) { return QString::fromUtf8(IconFiles[index]); }

Form2::Form2(WeatherReceiver* form1)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_form1(form1)
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("天気"));
    setWindowIcon(QIcon(QStringLiteral(":/window.ico")));
    setFixedSize(Twips::size(5430, 2370));
    WindowHints::keepFixedBorder(this);
    setWidgetColour(this, QPalette::Window, ColourValue(0x00FDE8C4));
    setAutoFillBackground(true);

    auto* label = new CaptionLabel(QStringLiteral("天気マークを選んでください"), this);
    setAccessibleDescription(label->text()); // the prompt, read with the window
    label->setObjectName(QStringLiteral("Label1"));
    label->setGeometry(Twips::rect(840, 1200, 3615, 375));
    label->setFont(Fonts::font(Fonts::Gothic, 14.25, true));
    label->setForeColour(ColourValue::system(ColourValue::Highlight));

    Command1 = new FaceButton(QStringLiteral("キャンセル"), ColourValue(0x00FCD89C), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(Twips::rect(3600, 1680, 1335, 375));
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);

    QWidget* previous = Command1;
    for (int i = 0; i < 5; ++i) {
        auto* button = new QPushButton(this);
        button->setObjectName(QStringLiteral("Command2(%1)").arg(i));
        button->setGeometry(Twips::rect(120 + 1080 * i, 120, 855, 855));
        button->setIcon(QIcon(QLatin1String(ButtonPictures[i])));
        button->setIconSize(QSize(32, 32));
        button->setAutoDefault(false);
        button->setToolTip(QString::fromUtf8(ButtonNames[i]));
        button->setAccessibleName(QString::fromUtf8(ButtonNames[i]));
        connect(button, &QPushButton::clicked, this, [this, i] { Command2_Click(i); });
        setTabOrder(previous, button);
        previous = button;
        Command2[i] = button;
    }
    Command1->setFocus(Qt::OtherFocusReason);
    markCurrent();
}

// The day's mark is shown and said as the checked button.
void Form2::markCurrent()
{
    const QString current = QFileInfo(m_form1->weatherPath().replace(u'\\', u'/')).fileName();
    for (int i = 0; i < 5; ++i) {
        Command2[size_t(i)]->setCheckable(true);
        Command2[size_t(i)]->setChecked(!current.isEmpty() && current == iconFileName(i));
    }
}

void Form2::Command2_Click(int index)
{
    if (index < 0 || index >= 5)
        return;
    const QString path = AppInfo::programFilePath(iconFileName(index));
    const QPixmap picture = PictureLoader::load(path, devicePixelRatioF());
    if (picture.isNull()) {
        // Nothing changes, so the day keeps the mark it had.
        MessageBox::warning(this, QStringLiteral("天気マークの絵「%1」を読み込めません。\n"
                                                 "プログラムと同じフォルダーにあるか確かめてください。")
                                      .arg(path));
        markCurrent();
        return;
    }
    m_form1->setWeather(picture, path);
    close();
}

void Form2::Command1_Click() { close(); }

// Esc is the cancel button, as in any dialog.
void Form2::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        Command1_Click();
    else
        QWidget::keyPressEvent(event);
}
