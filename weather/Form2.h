// The weather picker: five picture buttons that set the weather mark of the
// day on screen in the main window, and a cancel button.
#pragma once

#include <QWidget>

#include <array>

class WeatherReceiver;
class FaceButton;
class QPushButton;

class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(WeatherReceiver* form1);

    // The icon file of each mark, beside the program.
    static QString iconFileName(int index);

    std::array<QPushButton*, 5> Command2{};
    FaceButton* Command1 = nullptr;

public slots:
    void Command2_Click(int index);
    void Command1_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void markCurrent();

    WeatherReceiver* m_form1;
};
