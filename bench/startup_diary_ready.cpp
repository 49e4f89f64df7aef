// The diary is ready when its main window paints after the first activation
// has brought today's page.
#include "first_frame.h"

#include "main_window/Form1.h"

bool benchWindowReady(QWidget* window)
{
    const auto* form = qobject_cast<Form1*>(window);
    return form && form->tag() == QLatin1String("1");
}
