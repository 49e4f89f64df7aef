// What assistive technology is told of the program's own widgets beyond what
// Qt says by itself: a caption that reacts to a click can be pressed, the
// picture box is a button, and top-level windows are frames or dialogs
// rather than fillers.
#pragma once

class QWidget;

namespace AccessibleWidgets {

// Once per process, before the first window is shown.
void install();

// Says again which control has the focus, for a window the keyboard comes
// back to: a screen reader otherwise names only the window.
void announceFocus(QWidget* window);

} // namespace AccessibleWidgets
