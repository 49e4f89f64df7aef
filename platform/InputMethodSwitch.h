// Turns the desktop's Japanese input method on, where one can be asked to.
#pragma once

namespace InputMethodSwitch {

// Best effort and asynchronous: without a running input method nothing happens.
void turnOnJapanese();

} // namespace InputMethodSwitch
