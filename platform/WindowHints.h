// What an X11 window manager reads about a window beyond what Qt tells it.
#pragma once

class QWidget;

namespace WindowHints {

// A fixed border: Qt offers the window manager resizing (in the Motif hints)
// even for a window of fixed size; take it away, keeping move and close.
void keepFixedBorder(QWidget* window);

// No title at all: Qt names an untitled window after the program.
void keepEmptyTitle(QWidget* window);

} // namespace WindowHints
