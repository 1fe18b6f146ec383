// The pictures of the toolbar buttons that have no stock picture of their own: the desktop's
// icon theme where it has the icon, else our own drawing, sharp at every size and pixel ratio.
#pragma once

#include <QIcon>

namespace tavrin {

enum class ToolIconKind {
    LargeIcons,  // view styles of a pane
    SmallIcons,
    List,
    Details,
    FileId,  // lookup choices: file_id.diz, <filename>.txt, readme.txt
    FileName,
    Readme,
};

QIcon ToolIcon(ToolIconKind kind);

}  // namespace tavrin
