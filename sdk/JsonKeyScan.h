// A look at a JSON text before Qt's parser sees it: whether any object in it
// names a key twice. Qt 5.15's QJsonDocument::fromJson leaks the earlier
// value of a repeated key when that value is an object or an array, so a box
// repeating keys would make the host grow with every message; no box that
// works sends such a body. The scan knows strings and nesting, nothing else:
// it does not check that the text is JSON.
#pragma once

#include <QByteArray>

// True when some object repeats a key. Keys compare as the parser sees them,
// escapes decoded ("a" and "\u0061" are one key). keysSeen, when given,
// receives the number of object keys met up to the answer.
bool JsonRepeatsKey(const QByteArray& text, int* keysSeen = nullptr);
