// The address and token of the status server: what the command line may say.
#include <gtest/gtest.h>

#include "e2e/process.h"
#include "platform/fault.h"
#include "web/web_settings.h"

namespace vantrel {
namespace {

struct AddressCase {
  const char* name;
  const char* text;
  const char* host;  // nullptr: refused
  int port;
};

class WebAddress : public ::testing::TestWithParam<AddressCase> {};

TEST_P(WebAddress, IsReadOrRefused) {
  const AddressCase& c = GetParam();
  std::string error;
  std::optional<WebSettings> s = parseWebAddress(c.text, error);
  if (c.host == nullptr) {
    EXPECT_FALSE(s) << "got " << s->host << " " << s->port;
    EXPECT_FALSE(error.empty());
    return;
  }
  ASSERT_TRUE(s) << error;
  EXPECT_EQ(s->host, c.host);
  EXPECT_EQ(s->port, c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WebAddress,
    ::testing::Values(AddressCase{"BarePortIsLoopback", "8080", "127.0.0.1", 8080},
                      AddressCase{"PortZeroLetsTheSystemChoose", "0", "127.0.0.1", 0},
                      AddressCase{"HighestPort", "65535", "127.0.0.1", 65535},
                      AddressCase{"PortTooHigh", "65536", nullptr, 0},
                      AddressCase{"SixDigits", "000080", nullptr, 0},
                      AddressCase{"NegativePort", "-1", nullptr, 0},
                      AddressCase{"NotANumber", "http", nullptr, 0},
                      AddressCase{"Empty", "", nullptr, 0},
                      AddressCase{"AddressAndPort", "0.0.0.0:80", "0.0.0.0", 80},
                      AddressCase{"HostName", "localhost:9000", "localhost", 9000},
                      AddressCase{"EmptyAddress", ":80", nullptr, 0},
                      AddressCase{"NoPortAfterColon", "127.0.0.1:", nullptr, 0},
                      AddressCase{"BracketedIpv6", "[::1]:8080", "::1", 8080},
                      AddressCase{"BareIpv6IsAmbiguous", "::1:8080", nullptr, 0},
                      AddressCase{"UnclosedBracket", "[::1:8080", nullptr, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WebLoopback, OnlyThisComputersAddresses) {
  for (const char* host : {"127.0.0.1", "127.1.2.3", "localhost", "::1", "0:0:0:0:0:0:0:1"}) {
    EXPECT_TRUE(isLoopbackHost(host)) << host;
  }
  for (const char* host : {"0.0.0.0", "::", "192.168.1.2", "128.0.0.1", "::ffff:127.0.0.1", "localhost.example",
                           "myhost", "127.0.0.1.example"}) {
    EXPECT_FALSE(isLoopbackHost(host)) << host;
  }
}

TEST(WebToken, FirstLineOfSafeCharacters) {
  std::string error;
  EXPECT_EQ(tokenFromFileText("abcdefghij0123456789\n", error), "abcdefghij0123456789");
  EXPECT_EQ(tokenFromFileText("A.b_c~d-e0123456789\r\nsecond line", error), "A.b_c~d-e0123456789");
  EXPECT_EQ(tokenFromFileText("0123456789abcdef", error), "0123456789abcdef") << "16 characters are enough";
  EXPECT_FALSE(tokenFromFileText("0123456789abcde\n", error));
  EXPECT_EQ(error, "the token has 15 characters; it needs at least 16");
  EXPECT_FALSE(tokenFromFileText("", error));
  for (const char* bad : {"0123456789abcdef+", "0123456789 abcdef", "0123456789abcdef;", "0123456789abcdef\t"}) {
    EXPECT_FALSE(tokenFromFileText(bad, error)) << bad;
    EXPECT_NE(error.find("characters other than"), std::string::npos);
  }
}

// The refusals a user meets, each with status 2 and what to do.
TEST(WebSettingsFor, RefusesWhatWouldBeUnsafeOrWrong) {
  e2e::ScratchDir dir;
  e2e::writeFile(dir / "token", "s3cret-token-0123456789\n");
  e2e::writeFile(dir / "short", "abc\n");
  auto refusal = [](const std::string& address, const std::string& tokenFile) {
    try {
      webSettingsFor(address, tokenFile);
    } catch (const Fault& fault) {
      EXPECT_EQ(fault.status(), ExitStatus::usage);
      return std::string(fault.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refusal("8080", ""), "accepted");
  EXPECT_EQ(refusal("0.0.0.0:8080", dir / "token"), "accepted");
  EXPECT_EQ(webSettingsFor("0.0.0.0:8080", dir / "token").token, "s3cret-token-0123456789");
  EXPECT_NE(refusal("0.0.0.0:8080", "").find("needs a token: give --web-token FILE"), std::string::npos);
  EXPECT_NE(refusal("192.168.1.5:80", "").find("--web 80)"), std::string::npos) << "offers the loopback way";
  EXPECT_NE(refusal("8080", dir / "missing").find("missing: cannot read: No such file"), std::string::npos);
  EXPECT_NE(refusal("8080", dir / "short").find("short: the token has 3 characters"), std::string::npos);
  EXPECT_NE(refusal("80800", "").find("0 to 65535"), std::string::npos);
}

TEST(WebUrl, BracketsIpv6) {
  EXPECT_EQ(webUrl("127.0.0.1", 8080), "http://127.0.0.1:8080/");
  EXPECT_EQ(webUrl("::1", 80), "http://[::1]:80/");
}

}  // namespace
}  // namespace vantrel
