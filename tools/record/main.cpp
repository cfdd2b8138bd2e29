// zemori-record: records a capture stream through the plug-in in the
// embedded host (see headlessRecorder.h).
#include "tools/recorder/headlessRecorder.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    return ztools::runRecorder(std::vector<std::string>(argv + 1, argv + argc),
                               ZEMORI_DEFAULT_INSTALL_PREFIX, std::cout, std::cerr);
}
