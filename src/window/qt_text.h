#pragma once
// Conversions between the program's Windows-1251 byte strings and the
// QStrings of widgets.  A typed character the code page lacks becomes "?".
#include <QString>
#include <string>
#include <string_view>

#include "text/cp1251.h"

inline QString ToQ(std::string_view cp1251) { return QString::fromStdString(text::Cp1251ToUtf8(cp1251)); }
inline std::string FromQ(const QString& s) { return text::Utf8ToCp1251(s.toStdString()); }
