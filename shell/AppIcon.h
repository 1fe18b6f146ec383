// The program's icon, drawn rather than loaded, so it exists wherever the program runs.
#pragma once

#include <QIcon>

namespace tavrin {

QIcon AppIcon();

}  // namespace tavrin
