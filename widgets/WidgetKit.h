// Small helpers both windows build their controls with.
#pragma once

#include <QString>

#include <initializer_list>

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

template <typename T> T* Named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A button at least as wide as designed and as its caption needs; Enter never presses it.
QPushButton* MakeButton(const char* name, const char* caption, int designWidth, QWidget* parent);
// Wide enough for the longest of these texts in the label's own font.
void FitWidest(QLabel* label, std::initializer_list<const char*> texts);
// "Gauge": 0..100, the blue bar of the product, with its percentage on it.
QProgressBar* MakeGauge(int height, QWidget* parent);
