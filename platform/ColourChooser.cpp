#include "platform/ColourChooser.h"

#include "platform/WidgetColour.h"

#include <QColorDialog>
#include <QList>

namespace {
bool g_testing = false;
QList<std::optional<ColourValue>> g_answers;
} // namespace

namespace ColourChooser {

std::optional<ColourValue> choose(QWidget* parent)
{
    if (g_testing) {
        // An unanswered chooser under test counts as cancelled.
        return g_answers.isEmpty() ? std::nullopt : g_answers.takeFirst();
    }
    // No initial colour is preset: the chooser opens on its own default.
    const QColor chosen = QColorDialog::getColor(Qt::white, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return colourValueOf(chosen);
}

void setNextAnswerForTesting(std::optional<ColourValue> answer)
{
    g_testing = true;
    g_answers << answer;
}

void resetForTesting()
{
    g_testing = true;
    g_answers.clear();
}

} // namespace ColourChooser
