// Key codes of the key handlers: one mapping from a Qt key event to the codes the handlers
// test (8 Backspace, 13 Enter, 32 Space, 37-40 arrows, 46 Delete, 48-57 digits, 65-90
// letters, 96-111 the numeric keypad, 186-192 and 219-222 punctuation keys, ...).
#pragma once

class QKeyEvent;

namespace tavrin {

enum VirtualKeyCode : int {
    VK_BACK = 8,
    VK_TAB = 9,
    VK_RETURN = 13,
    VK_SHIFT = 16,
    VK_CONTROL = 17,
    VK_MENU = 18,
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_PRIOR = 33,
    VK_NEXT = 34,
    VK_END = 35,
    VK_HOME = 36,
    VK_LEFT = 37,
    VK_UP = 38,
    VK_RIGHT = 39,
    VK_DOWN = 40,
    VK_INSERT = 45,
    VK_DELETE = 46,
    VK_F1 = 112,
};

// The code of the key of a key event (0 when it has none). A shifted symbol counts as its
// key ("!" is the key 1); a letter outside A-Z counts as a letter key, a digit as a digit.
int VirtualKeyOf(const QKeyEvent* event);

// True for the keys that mark a text as edited: 8, 13, 32, 46, 48-57, 65-90, 96-111, 220.
bool IsEditingKey(int code);

}  // namespace tavrin
