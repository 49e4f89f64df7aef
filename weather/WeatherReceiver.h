// Where a chosen weather mark goes: the window showing the day implements it.
#pragma once

#include <QPixmap>
#include <QString>

class WeatherReceiver {
public:
    virtual ~WeatherReceiver() = default;
    // The picture as loaded, and the icon's path as the day stores it.
    virtual void setWeather(const QPixmap& picture, const QString& path) = 0;
    // The icon path the day on screen stores now, or empty.
    virtual QString weatherPath() const = 0;
};
