#pragma once

// The program's pictures, compiled into the program from icons.qrc
// (":/icons/..."). They live in a static library, whose resource table the
// linker would drop unless someone asks for it: call LoadIcons() before the
// first picture is used.

#include <QIcon>

void LoadIcons();

// The window and application icon in every size drawn, the 32 x 32
// 16-colour picture first.
QIcon ApplicationIcon();
