// Texts for code that may run off the main thread: the receiving thread, and
// compute, which a parallel evaluation runs on a worker thread. A string
// lookup belongs to the main thread, so these are looked up there ahead of
// time (each time a node is made) and read from here.
#pragma once

#include "plugin/messageTable.h"

#include <maya/MString.h>

// Looks the texts up again (main thread): the language's texts once a
// localized session has loaded them.
void refreshThreadTexts();
// The text last looked up for the key (any thread); its default text while
// none has been, and for a key not among them.
MString threadText(const MessageKey& message);
