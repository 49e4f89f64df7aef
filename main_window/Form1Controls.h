// The main window's controls by their design names, for the tests, the
// benchmarks and the screenshot tool: the window itself keeps them private.
#pragma once

#include "main_window/Form1.h"

struct Form1Controls {
    explicit Form1Controls(const Form1* form)
        : Command1(form->Command1)
        , Command2(form->Command2)
        , MonthView1(form->MonthView1)
        , Label1(form->Label1)
        , Label2(form->Label2)
        , Label3(form->Label3)
        , Label4(form->Label4)
        , Label5(form->Label5)
        , Label6(form->Label6)
        , Label7(form->Label7)
        , Text1(form->Text1)
        , Text2(form->Text2)
        , Text3(form->Text3)
        , Text4(form->Text4)
        , Text5(form->Text5)
        , Text6(form->Text6)
        , Text7_13(form->Text7_13)
        , Text14(form->Text14)
        , Text15(form->Text15)
        , Picture1(form->Picture1)
        , Data1(form->Data1)
    {
    }

    FaceButton* Command1;
    FaceButton* Command2;
    MonthCalendar* MonthView1;
    CaptionLabel* Label1;
    std::array<CaptionLabel*, 1> Label2;
    std::array<CaptionLabel*, 7> Label3;
    CaptionLabel* Label4;
    CaptionLabel* Label5;
    CaptionLabel* Label6;
    CaptionLabel* Label7;
    EntryBox* Text1;
    EntryBox* Text2;
    std::array<EntryBox*, 7> Text3;
    std::array<EntryBox*, 7> Text4;
    EntryBox* Text5;
    HiddenField* Text6;
    std::array<HiddenField*, 7> Text7_13;
    HiddenField* Text14;
    HiddenField* Text15;
    PictureBox* Picture1;
    DataControl* Data1;
};

inline Form1Controls controlsOf(const Form1* form) { return Form1Controls(form); }
