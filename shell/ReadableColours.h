// The described text colours (blue, red, fuchsia, maroon, navy ...) kept wherever they read
// well on the desktop's palette, and lightened or darkened just enough where they do not (a
// dark theme): every text stays readable.
#pragma once

#include <QColor>

class QWidget;

namespace tavrin {

// WCAG contrast ratio of two colours, 1 to 21.
double ContrastRatio(const QColor& a, const QColor& b);
// `text` itself when it reads on `background`, else the nearest colour of its hue that does.
QColor ReadableOn(const QColor& text, const QColor& background);
// Applies ReadableOn to the colours that `window` and its widgets set for their text (style
// sheets and palettes). Can run again after the palette changed.
void FitColoursToPalette(QWidget* window);

}  // namespace tavrin
