#include "quorvane/app/qt_text.h"

#include <string>

#include "quorvane/text/code_page.h"

namespace quorvane {

QString ToQString(const Text& text) { return QString::fromStdU16String(TextToUtf16(text)); }

Text FromQString(const QString& string) { return Utf16ToText(string.toStdU16String()); }

}  // namespace quorvane
