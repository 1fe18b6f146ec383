#include "shell/ReadableColours.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QWidget>
#include <cmath>

namespace tavrin {

namespace {

constexpr double kEnough = 3.0;  // below this a text colour is changed
constexpr double kTarget = 4.5;  // and then made this readable
constexpr const char* kDescribedSheet = "tavrinDescribedSheet";
constexpr const char* kDescribedText = "tavrinDescribedText";
constexpr const char* kFittedText = "tavrinFittedText";

double Luminance(const QColor& c) {
    auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

// The colour a widget's text stands on.
QColor BackgroundOf(const QWidget* widget) {
    const bool field = qobject_cast<const QAbstractScrollArea*>(widget) ||
                       qobject_cast<const QLineEdit*>(widget) ||
                       (qobject_cast<const QComboBox*>(widget) &&
                        static_cast<const QComboBox*>(widget)->isEditable());
    // The parent's palette: a widget's own style sheet keeps the palette it was polished with.
    const QWidget* from = widget->parentWidget() ? widget->parentWidget() : widget;
    return from->palette().color(field ? QPalette::Base : QPalette::Window);
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& text, const QColor& background) {
    if (ContrastRatio(text, background) >= kEnough) return text;
    // Towards white on a dark background, towards black on a light one, in small steps.
    const QColor goal = Luminance(background) < 0.18 ? QColor(Qt::white) : QColor(Qt::black);
    QColor c = text;
    for (int step = 1; step <= 20 && ContrastRatio(c, background) < kTarget; ++step) {
        const double t = step / 20.0;
        c = QColor(int(std::lround(text.red() + (goal.red() - text.red()) * t)),
                   int(std::lround(text.green() + (goal.green() - text.green()) * t)),
                   int(std::lround(text.blue() + (goal.blue() - text.blue()) * t)));
    }
    return c;
}

void FitColoursToPalette(QWidget* window) {
    static const QRegularExpression colour(R"((^|[;{\s])color:\s*([^;}\s]+))",
                                           QRegularExpression::CaseInsensitiveOption);
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* widget : widgets) {
        // Style sheets that colour the text (a sheet that paints its own background, like the
        // red "Zip!" button, keeps its colours).
        QString described = widget->property(kDescribedSheet).toString();
        if (described.isEmpty()) described = widget->styleSheet();
        if (described.contains("color:", Qt::CaseInsensitive) &&
            !described.contains("background", Qt::CaseInsensitive)) {
            widget->setProperty(kDescribedSheet, described);
            const QColor background = BackgroundOf(widget);
            QString fitted = described;
            auto match = colour.globalMatch(described);
            qsizetype shift = 0;
            while (match.hasNext()) {
                const auto m = match.next();
                const QColor wanted(m.captured(2));
                if (!wanted.isValid()) continue;
                const QString name = ReadableOn(wanted, background).name();
                fitted.replace(m.capturedStart(2) + shift, m.capturedLength(2), name);
                shift += name.size() - m.capturedLength(2);
            }
            if (fitted != widget->styleSheet()) widget->setStyleSheet(fitted);
        }
        // A palette of its own with a text colour (the description editor's navy).
        if (widget->testAttribute(Qt::WA_SetPalette)) {
            // A colour set since the last fitting (the font dialog's) is the one to keep.
            QPalette p = widget->palette();
            const QColor current = p.color(QPalette::Text);
            const QVariant kept = widget->property(kDescribedText);
            const QColor text =
                kept.isValid() && widget->property(kFittedText).value<QColor>() == current
                    ? kept.value<QColor>()
                    : current;
            const QColor fitted = ReadableOn(text, p.color(QPalette::Base));
            widget->setProperty(kDescribedText, text);
            widget->setProperty(kFittedText, fitted);
            if (fitted != current) {
                p.setColor(QPalette::Text, fitted);
                widget->setPalette(p);
            }
        }
    }
}

}  // namespace tavrin
