#pragma once
// The machine id the gateway receives: the address of the first wired
// Ethernet adapter as 12 upper-case hexadecimal digits.
#include <string>

// True and out set when such an adapter exists; otherwise false and out is
// left untouched.
bool GetMacAddressString(std::string& out);

// The same, reading the interface list below sysClassNet (for tests).
bool GetMacAddressString(std::string& out, const std::string& sysClassNet);
