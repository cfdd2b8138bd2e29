// IPv4 addresses as users type them: strict dotted decimal, four parts of
// 0 to 255, no blanks, no leading zeros that some parsers read as octal.
#pragma once

#include <cstdint>
#include <string>

// The address in host order; false for anything else, `address` untouched.
bool parseIPv4Address(const std::string& text, std::uint32_t& address);
// Dotted decimal of a host-order address.
std::string formatIPv4Address(std::uint32_t address);
// 224.0.0.0/4, and the local-network block 224.0.0.0/24 that routers never
// forward and that the system's own protocols use.
bool isMulticastAddress(std::uint32_t address);
bool isLinkLocalMulticast(std::uint32_t address);
