#include "platform/host_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstdint>

namespace vantrel {

std::vector<std::string> hostIPv4Addresses() {
  ifaddrs* interfaces = nullptr;
  if (::getifaddrs(&interfaces) != 0) return {};
  std::vector<std::string> addresses = ipv4AddressesOf(interfaces);
  ::freeifaddrs(interfaces);
  return addresses;
}

std::vector<std::string> ipv4AddressesOf(const ifaddrs* interfaces) {
  std::vector<std::uint32_t> found;  // in host order, so that they sort as numbers
  for (const ifaddrs* i = interfaces; i != nullptr; i = i->ifa_next) {
    if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) continue;
    if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK)) continue;
    found.push_back(ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr));
  }
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  std::vector<std::string> addresses;
  for (std::uint32_t a : found) {
    in_addr address{htonl(a)};
    char text[INET_ADDRSTRLEN];
    addresses.push_back(::inet_ntop(AF_INET, &address, text, sizeof text));
  }
  return addresses;
}

}  // namespace vantrel
