#include "intake/senderAllowList.h"

#include "intake/ipv4Address.h"

namespace {

bool isSeparator(char c) {
    return c == ' ' || c == ',' || c == '\t' || c == '\n' || c == '\r';
}

// "a.b.c.d" or "a.b.c.d/n" with n from 0 to 32. A range whose address has
// bits past its prefix ("10.0.0.7/24") is refused: it is a typing mistake
// more often than a range.
bool parseEntry(const std::string& entry, std::uint32_t& network, std::uint32_t& mask) {
    const std::size_t slash = entry.find('/');
    std::uint32_t address = 0;
    if (!parseIPv4Address(entry.substr(0, slash), address)) return false;
    int prefix = 32;
    if (slash != std::string::npos) {
        const std::string bits = entry.substr(slash + 1);
        if (bits.empty() || bits.size() > 2 || (bits.size() == 2 && bits[0] == '0')) return false;
        prefix = 0;
        for (char c : bits) {
            if (c < '0' || c > '9') return false;
            prefix = prefix * 10 + (c - '0');
        }
        if (prefix > 32) return false;
    }
    mask = prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - prefix);
    if ((address & ~mask) != 0) return false;
    network = address;
    return true;
}

}  // namespace

bool SenderAllowList::parse(const std::string& text, std::string& badEntry) {
    SenderAllowList parsed;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && isSeparator(text[at])) ++at;
        std::size_t end = at;
        while (end < text.size() && !isSeparator(text[end])) ++end;
        if (end == at) break;
        const std::string entry = text.substr(at, end - at);
        at = end;
        std::uint32_t network = 0;
        std::uint32_t mask = 0;
        if (parsed.mCount == kMaxEntries || !parseEntry(entry, network, mask)) {
            badEntry = entry;
            return false;
        }
        parsed.mNetworks[parsed.mCount] = network;
        parsed.mMasks[parsed.mCount] = mask;
        ++parsed.mCount;
    }
    *this = parsed;
    return true;
}
