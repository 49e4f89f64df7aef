// One diary per folder: two diaries on one nikki.xls would each save over
// the other's text. A second start on the same folder brings the running
// diary to the front and ends. The claim is a socket in Linux's abstract
// namespace, so it writes no file and goes away with the process.
#pragma once

#include <QString>

#include <functional>

namespace SingleInstance {

// Claims the folder for this process; onAnotherStart runs when a later start
// on the same folder asks for the window. False when another diary has the
// folder: it was asked to come to the front.
bool claim(const QString& folder, std::function<void()> onAnotherStart);

} // namespace SingleInstance
