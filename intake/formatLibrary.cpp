#include "intake/formatLibrary.h"

// Starts with every entry absent: until the loader fills it, the stores
// classify every datagram as neither kind.
FormatLibraryEntryPoints gFormatLibrary;
