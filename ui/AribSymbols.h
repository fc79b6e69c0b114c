#pragma once
// Broadcast text keeps the ARIB extension symbols in the private use area (from U+E000, see
// broadcast/JisTable.h), where the installed Japanese fonts have no glyphs. The panels show the
// common ones in a form those fonts can draw: the programme marks as bracketed text ([字],
// [デ], [新] …) and the caption's continuation arrow as ➡. Others stay as they are.
#include <QString>

namespace kobal {

QString showableText(const QString& text);

} // namespace kobal
