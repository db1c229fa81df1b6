// Texts (code page 936) to and from Qt's strings, through UTF-16.
#pragma once

#include <QString>

#include "quorvane/text/text.h"

namespace quorvane {

QString ToQString(const Text& text);
// A character that code page 936 cannot show becomes "?"; the text ends at a zero character.
Text FromQString(const QString& string);

}  // namespace quorvane
