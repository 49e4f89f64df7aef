// Turns SIGTERM, SIGHUP and SIGINT into an orderly close on the UI thread, so
// that a logout or a kill asks the main window to save like "終了" does.
#pragma once

#include <functional>

namespace ShutdownSignals {

void install(std::function<void()> onSignal);

} // namespace ShutdownSignals
