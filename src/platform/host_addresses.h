// host_addresses.h - the addresses by which other machines reach this one.
//
// For the status server's start-up message: a server that listens on every
// interface is opened from a phone by one of these, not by 0.0.0.0.
//
// Notes:
// 1) Only IPv4, only interfaces that are up, loopback left out: the
//    addresses a phone on the same network can type.
// 2) In numeric order, each once (an address may sit on two interfaces), so
//    the list reads the same at every start.
// 3) An interface without an address (a tunnel not yet connected) is
//    skipped; when the system cannot list its interfaces the list is empty.
#pragma once

#include <string>
#include <vector>

struct ifaddrs;

namespace vantrel {

std::vector<std::string> hostIPv4Addresses();

// The same from a list as getifaddrs gives it.
std::vector<std::string> ipv4AddressesOf(const ifaddrs* interfaces);

}  // namespace vantrel
