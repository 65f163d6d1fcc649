#pragma once
// The dialog font the window's fixed geometry is laid out for: a
// proportional Japanese face at 9 pt, whose proportional kana let every
// caption fit its label. Each system's faces are in DialogFontUnix.cpp and
// DialogFontWindows.cpp.

#include <QFont>
#include <QStringList>

namespace tobrik::app {

// The size of the classic dialog face, which the fixed layout is made for.
inline constexpr int kDialogPointSize = 9;

QFont DialogFont();

} // namespace tobrik::app
