// zemori-send: streams a capture take over UDP (see captureSender.h).
#include "tools/lib/captureSender.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    return ztools::runSender(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
