#pragma once

#include <QString>

// A caption as it shows with ampersand processing, as in button captions: "&&" is one
// ampersand, a single '&' only marks the next letter.
QString WithoutMnemonics(const QString& text);
