#include "intake/ipv4Address.h"

bool parseIPv4Address(const std::string& text, std::uint32_t& address) {
    std::uint32_t result = 0;
    int parts = 0;
    std::size_t at = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        std::uint32_t part = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 4) {
            part = part * 10 + static_cast<std::uint32_t>(text[at] - '0');
            ++at;
            ++digits;
        }
        // "010" would be 8 to inet_addr and 10 to a reader: refuse it.
        if (digits == 0 || digits > 3 || part > 255 || (digits > 1 && text[at - digits] == '0')) {
            return false;
        }
        result = (result << 8) | part;
        ++parts;
        if (parts < 4) {
            if (at >= text.size() || text[at] != '.') return false;
            ++at;
        }
    }
    if (at != text.size()) return false;
    address = result;
    return true;
}

std::string formatIPv4Address(std::uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

bool isMulticastAddress(std::uint32_t address) {
    return (address >> 28) == 0xE;
}

bool isLinkLocalMulticast(std::uint32_t address) {
    return (address >> 8) == 0xE00000;
}
