// The colour chooser: modal, returns one colour value, or nothing when cancelled.
#pragma once

#include "platform/ColourValue.h"

#include <optional>

class QWidget;

namespace ColourChooser {

std::optional<ColourValue> choose(QWidget* parent);

// Test seam: queued answers replace the dialog (nullopt stands for cancelling).
void setNextAnswerForTesting(std::optional<ColourValue> answer);
// Test seam: no dialog is ever shown; an unanswered choice counts as cancelled.
void resetForTesting();

} // namespace ColourChooser
