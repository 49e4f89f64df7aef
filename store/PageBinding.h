// The page that shows the day on screen, as the diary sees it: whatever holds
// the controls implements this, so the diary needs no widgets and a test can
// stand in for the window.
#pragma once

#include "store/Day.h"

class PageBinding {
public:
    virtual ~PageBinding() = default;
    // Overwrites the fields the page shows with what its controls hold now,
    // typed and not yet saved; fields it does not show stay as they are.
    virtual void readPage(Day& day) const = 0;
    // Shows a day on the page.
    virtual void showDay(const Day& day) = 0;
};
