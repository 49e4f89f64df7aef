#include "platform/AccessibleWidgets.h"

#include "platform/CaptionLabel.h"
#include "platform/PictureBox.h"

#include <QAccessibleWidget>

namespace {

// A widget whose clicked() signal is its one action.
template <class Clickable>
class PressableAccessible : public QAccessibleWidget {
public:
    PressableAccessible(Clickable* widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role)
    {
    }

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (pressable())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& name) override
    {
        if (name == pressAction() && pressable())
            emit clickable()->clicked();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    Clickable* clickable() const { return static_cast<Clickable*>(widget()); }
    // A caption nobody listens to is only text.
    bool pressable() const { return clickable()->isEnabled() && clickable()->isClickable(); }
};

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String("CaptionLabel"))
        return new PressableAccessible<CaptionLabel>(static_cast<CaptionLabel*>(widget), QAccessible::StaticText);
    if (className == QLatin1String("PictureBox"))
        return new PressableAccessible<PictureBox>(static_cast<PictureBox*>(widget), QAccessible::Button);
    // Reached only for windows made straight from QWidget: Qt's own dialogs and
    // main windows have their classes handled before this one.
    if (className == QLatin1String("QWidget") && widget->isWindow()) {
        const Qt::WindowType type = widget->windowType();
        return new QAccessibleWidget(widget, type == Qt::Dialog || type == Qt::Sheet ? QAccessible::Dialog
                                                                                     : QAccessible::Window);
    }
    return nullptr;
}

} // namespace

void AccessibleWidgets::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&factory);
        return true;
    }();
    Q_UNUSED(installed);
}

void AccessibleWidgets::announceFocus(QWidget* window)
{
    if (!QAccessible::isActive() || !window)
        return;
    if (QWidget* focus = window->focusWidget(); focus && focus->hasFocus()) {
        QAccessibleEvent event(focus, QAccessible::Focus);
        QAccessible::updateAccessibility(&event);
    }
}
