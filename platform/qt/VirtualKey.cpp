#include "platform/qt/VirtualKey.h"

#include <QKeyEvent>

namespace tavrin {

namespace {

// The unshifted key of a US keyboard for each printable ASCII character.
int KeyOfCharacter(char32_t c) {
    if (c >= 'a' && c <= 'z') return int(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return int(c);
    if (c >= '0' && c <= '9') return int(c);
    switch (c) {
        case ' ':
            return VK_SPACE;
        case '!':
            return '1';
        case '@':
            return '2';
        case '#':
            return '3';
        case '$':
            return '4';
        case '%':
            return '5';
        case '^':
            return '6';
        case '&':
            return '7';
        case '*':
            return '8';
        case '(':
            return '9';
        case ')':
            return '0';
        case ';':
        case ':':
            return 186;
        case '=':
        case '+':
            return 187;
        case ',':
        case '<':
            return 188;
        case '-':
        case '_':
            return 189;
        case '.':
        case '>':
            return 190;
        case '/':
        case '?':
            return 191;
        case '`':
        case '~':
            return 192;
        case '[':
        case '{':
            return 219;
        case '\\':
        case '|':
            return 220;
        case ']':
        case '}':
            return 221;
        case '\'':
        case '"':
            return 222;
        default:
            return 0;
    }
}

int KeypadCode(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return 96 + (key - Qt::Key_0);
    switch (key) {
        case Qt::Key_Asterisk:
            return 106;
        case Qt::Key_Plus:
            return 107;
        case Qt::Key_Minus:
            return 109;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return 110;
        case Qt::Key_Slash:
            return 111;
        case Qt::Key_Enter:
            return VK_RETURN;
        default:
            return 0;
    }
}

}  // namespace

int VirtualKeyOf(const QKeyEvent* event) {
    const int key = event->key();
    if (event->modifiers() & Qt::KeypadModifier) {
        if (int code = KeypadCode(key)) return code;
    }
    switch (key) {
        case Qt::Key_Backspace:
            return VK_BACK;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Shift:
            return VK_SHIFT;
        case Qt::Key_Control:
            return VK_CONTROL;
        case Qt::Key_Alt:
            return VK_MENU;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_PageUp:
            return VK_PRIOR;
        case Qt::Key_PageDown:
            return VK_NEXT;
        case Qt::Key_End:
            return VK_END;
        case Qt::Key_Home:
            return VK_HOME;
        case Qt::Key_Left:
            return VK_LEFT;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Right:
            return VK_RIGHT;
        case Qt::Key_Down:
            return VK_DOWN;
        case Qt::Key_Insert:
            return VK_INSERT;
        case Qt::Key_Delete:
            return VK_DELETE;
        default:
            break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + (key - Qt::Key_F1);
    if (key > 0 && key < 0x80) {
        if (int code = KeyOfCharacter(char32_t(key))) return code;
    }
    // Characters of other keyboards: a letter counts as a letter key, a digit as a digit key.
    const QString text = event->text();
    if (text.size() == 1 || (text.size() == 2 && text.at(0).isHighSurrogate())) {
        char32_t c = text.toUcs4().value(0);
        if (c < 0x80) return KeyOfCharacter(c);
        if (QChar::isLetter(c)) return 'A';
        if (QChar::isDigit(c)) return '0';
    }
    return 0;
}

bool IsEditingKey(int code) {
    return code == VK_BACK || code == VK_RETURN || code == VK_SPACE || code == VK_DELETE ||
           (code >= 48 && code <= 57) || (code >= 65 && code <= 90) ||
           (code >= 96 && code <= 111) || code == 220;
}

}  // namespace tavrin
