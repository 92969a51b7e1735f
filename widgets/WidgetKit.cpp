#include "widgets/WidgetKit.h"

#include <QColor>
#include <QFontMetrics>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

QPushButton* MakeButton(const char* name, const char* caption, int designWidth, QWidget* parent)
{
    auto* b = Named(new QPushButton(QString::fromUtf8(caption), parent), name);
    b->setAutoDefault(false);
    b->setDefault(false);
    b->setMinimumWidth(std::max(designWidth, b->sizeHint().width()));
    return b;
}

void FitWidest(QLabel* label, std::initializer_list<const char*> texts)
{
    QFontMetrics metrics(label->font());
    int widest = 0;
    for (const char* t : texts) widest = std::max(widest, metrics.horizontalAdvance(QString::fromUtf8(t)));
    label->setMinimumWidth(widest + 2);
}

QProgressBar* MakeGauge(int height, QWidget* parent)
{
    auto* gauge = Named(new QProgressBar(parent), "Gauge");
    gauge->setRange(0, 100);
    gauge->setValue(0);
    gauge->setTextVisible(true);
    gauge->setFormat(QStringLiteral("%p%"));
    gauge->setAlignment(Qt::AlignCenter);
    gauge->setFixedHeight(height);
    QPalette palette = gauge->palette();
    palette.setColor(QPalette::Highlight, QColor(46, 107, 209));
    gauge->setPalette(palette);
    return gauge;
}
