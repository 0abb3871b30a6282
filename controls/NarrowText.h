#pragma once

#include <QString>

// The logic hands the displays narrow strings. They are ASCII in practice; UTF-8 is taken as
// such, and anything that is not valid UTF-8 is read as Latin-1 so that no byte is lost or
// replaced. A null pointer is an empty text.
QString FromNarrowText(const char* text);
