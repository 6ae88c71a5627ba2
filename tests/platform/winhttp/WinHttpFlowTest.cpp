// Whole requests through the WinHTTP layer against the scripted update server:
// the notifications each answer or fault gives, in order.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "RequestDriver.h"
#include "UpdateServer.h"
#include "RowName.h"

namespace {

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
  return bytes;
}

const std::string kFile = Pattern(100000);

struct FlowCase {
  const char* name;
  RequestSpec spec;
  std::vector<ServerFault> faults;
  std::vector<std::string> events;
  size_t bodySize;  // what the client read before the end or the error
};

RequestSpec Get(const wchar_t* path, const wchar_t* range = L"", int receiveTimeoutMs = 20000) {
  RequestSpec spec;
  spec.path = path;
  spec.range = range;
  spec.receiveTimeoutMs = receiveTimeoutMs;
  return spec;
}

RequestSpec Post(size_t size) {
  RequestSpec spec;
  spec.verb = L"POST";
  spec.path = L"/report";
  spec.upload = Pattern(size);
  return spec;
}

ServerFault Fault(FaultKind kind, long long amount = 0, std::string target = std::string(), bool always = false) {
  ServerFault fault;
  fault.path = "/file.bin";
  fault.kind = kind;
  fault.amount = amount;
  fault.target = std::move(target);
  fault.always = always;
  return fault;
}

const std::vector<std::string> kWholeRead = {"SEND", "HEADERS 200", "READ", "READ 0", "CLOSING"};

const FlowCase kFlowCases[] = {
    {"Get200", Get(L"/file.bin"), {}, kWholeRead, 100000},
    {"RangedGet206", Get(L"/file.bin", L"bytes=10240-20479"), {}, {"SEND", "HEADERS 206", "READ", "READ 0", "CLOSING"},
     10240},
    {"Post25000", Post(25000), {},
     {"SEND", "WRITE 10240", "WRITE 10240", "WRITE 4520", "HEADERS 200", "READ", "READ 0", "CLOSING"}, 2},
    {"Redirect302", Get(L"/file.bin"), {Fault(FaultKind::Redirect302, 0, "/moved.bin")},
     {"SEND", "REDIRECT", "HEADERS 200", "READ", "READ 0", "CLOSING"}, 100000},
    {"Redirect301", Get(L"/file.bin"), {Fault(FaultKind::Redirect301, 0, "/moved.bin")},
     {"SEND", "REDIRECT", "HEADERS 200", "READ", "READ 0", "CLOSING"}, 100000},
    {"Redirect307", Get(L"/file.bin"), {Fault(FaultKind::Redirect307, 0, "/moved.bin")},
     {"SEND", "REDIRECT", "HEADERS 200", "READ", "READ 0", "CLOSING"}, 100000},
    {"RedirectLoopStopsAfterTen", Get(L"/file.bin"), {Fault(FaultKind::RedirectLoop, 0, "", true)},
     {"SEND", "REDIRECT", "REDIRECT", "REDIRECT", "REDIRECT", "REDIRECT", "REDIRECT", "REDIRECT", "REDIRECT",
      "REDIRECT", "REDIRECT", "ERROR 1 12156", "CLOSING"},
     0},
    {"NotFound", Get(L"/missing.bin"), {}, {"SEND", "HEADERS 404", "READ", "READ 0", "CLOSING"}, 10},
    {"ServerError", Get(L"/file.bin"), {Fault(FaultKind::ServerError)},
     {"SEND", "HEADERS 500", "READ", "READ 0", "CLOSING"}, 22},
    {"DropMidBody", Get(L"/file.bin"), {Fault(FaultKind::DropAt, 30000)},
     {"SEND", "HEADERS 200", "READ", "ERROR 3 12030", "CLOSING"}, 30000},
    {"ShortBody", Get(L"/file.bin"), {Fault(FaultKind::ShortBody, 1)},
     {"SEND", "HEADERS 200", "READ", "ERROR 3 12030", "CLOSING"}, 99999},
    {"StallMidBody", Get(L"/file.bin", L"", 300), {Fault(FaultKind::StallMidBody, 5000)},
     {"SEND", "HEADERS 200", "READ", "ERROR 3 12002", "CLOSING"}, 5000},
    {"StallBeforeHead", Get(L"/file.bin", L"", 300), {Fault(FaultKind::StallBeforeHead)},
     {"SEND", "ERROR 1 12002", "CLOSING"}, 0},
    {"NoLengthEndsAtClose", Get(L"/file.bin"), {Fault(FaultKind::NoLength)}, kWholeRead, 100000},
    {"Chunked", Get(L"/file.bin"), {Fault(FaultKind::Chunked)}, kWholeRead, 100000},
    {"TrickleIsNotAStall", Get(L"/small.bin", L"", 500), {}, kWholeRead, 40},
};

class WinHttpFlowTest : public ::testing::TestWithParam<FlowCase> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start("127.0.0.1"));
    server_.PutFile("/file.bin", kFile);
    server_.PutFile("/moved.bin", kFile);
    server_.PutFile("/small.bin", std::string(40, 's'));
    ServerFault trickle;
    trickle.path = "/small.bin";
    trickle.kind = FaultKind::Trickle;
    trickle.amount = 100;  // 10 bytes every 100 ms: never 500 ms without a byte
    server_.AddFault(trickle);
  }
  UpdateServer server_;
};

TEST_P(WinHttpFlowTest, NotificationsInOrder) {
  const FlowCase& c = GetParam();
  for (const ServerFault& fault : c.faults) server_.AddFault(fault);
  RequestDriver driver;
  ASSERT_TRUE(driver.Connect("127.0.0.1", server_.port()));
  ASSERT_TRUE(driver.Start(c.spec));
  ASSERT_TRUE(driver.WaitClosed(20000));
  EXPECT_EQ(driver.Events(), c.events);
  EXPECT_EQ(driver.Body().size(), c.bodySize);
  if (c.events[1] == "HEADERS 200" && c.bodySize == kFile.size()) {
    EXPECT_EQ(driver.Body(), kFile);
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, WinHttpFlowTest, ::testing::ValuesIn(kFlowCases), RowName());

class WinHttpServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start("127.0.0.1"));
    server_.PutFile("/file.bin", kFile);
    ASSERT_TRUE(driver_.Connect("127.0.0.1", server_.port()));
  }
  UpdateServer server_;
  RequestDriver driver_;
};

TEST_F(WinHttpServerTest, RangedAnswerCarriesItsBytesAndContentRange) {
  ASSERT_TRUE(driver_.Start(Get(L"/file.bin", L"bytes=10240-20479")));
  ASSERT_TRUE(driver_.WaitClosed());
  EXPECT_EQ(driver_.contentRange(), L"bytes 10240-20479/100000");
  EXPECT_EQ(driver_.Body(), kFile.substr(10240, 10240));
}

// Only what the engine adds goes out, besides Host, User-Agent and a body's length.
TEST_F(WinHttpServerTest, RequestsCarryNoHeadersOfTheirOwn) {
  ASSERT_TRUE(driver_.Start(Get(L"/file.bin", L"bytes=0-99")));
  ASSERT_TRUE(driver_.WaitClosed());
  ASSERT_TRUE(driver_.Start(Post(25000)));
  ASSERT_TRUE(driver_.WaitClosed());
  const std::vector<LoggedRequest> log = server_.Log();
  ASSERT_EQ(log.size(), 2u);
  std::vector<std::string> getNames, postNames;
  for (const auto& header : log[0].headers) getNames.push_back(header.first);
  for (const auto& header : log[1].headers) postNames.push_back(header.first);
  EXPECT_EQ(getNames, (std::vector<std::string>{"Host", "User-Agent", "Accept", "Connection", "Range"}));
  EXPECT_EQ(postNames, (std::vector<std::string>{"Host", "User-Agent", "Accept", "Connection", "Content-Length"}));
  EXPECT_EQ(log[0].Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)");
  EXPECT_EQ(log[1].Header("Content-Length"), "25000");
  EXPECT_EQ(log[1].body, Pattern(25000));
}

TEST_F(WinHttpServerTest, RequestsOfOneConnectionShareOneTcpConnection) {
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(driver_.Start(Get(L"/file.bin", L"bytes=0-9999")));
    ASSERT_TRUE(driver_.WaitClosed());
  }
  const std::vector<LoggedRequest> log = server_.Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].connection, log[1].connection);
  EXPECT_EQ(log[1].connection, log[2].connection);
  EXPECT_EQ(server_.ConnectionsAccepted(), 1);
}

TEST_F(WinHttpServerTest, NoProxyIgnoresTheEnvironmentsProxy) {
  setenv("http_proxy", "http://127.0.0.1:9", 1);
  setenv("HTTP_PROXY", "http://127.0.0.1:9", 1);
  ASSERT_TRUE(driver_.Start(Get(L"/file.bin")));
  ASSERT_TRUE(driver_.WaitClosed());
  unsetenv("http_proxy");
  unsetenv("HTTP_PROXY");
  EXPECT_EQ(driver_.status(), 200u);
  ASSERT_EQ(server_.Log().size(), 1u);
  EXPECT_EQ(server_.Log()[0].target, "/file.bin");
}

TEST_F(WinHttpServerTest, CloseBeforeTheRequestWentOutCancelsIt) {
  RequestSpec spec = Get(L"/file.bin");
  spec.closeAtEnd = false;
  ASSERT_TRUE(driver_.Start(spec));
  driver_.Close();
  ASSERT_TRUE(driver_.WaitClosed());
  EXPECT_EQ(driver_.Events(), (std::vector<std::string>{"ERROR 5 12017", "CLOSING"}));
}

TEST_F(WinHttpServerTest, CloseWhileReadingAbortsTheTransfer) {
  ServerFault endless;
  endless.path = "/endless.bin";
  endless.kind = FaultKind::StallMidBody;
  endless.amount = 5000;
  server_.AddFault(endless);
  server_.PutFile("/endless.bin", kFile);
  RequestSpec spec = Get(L"/endless.bin");
  spec.closeAtEnd = false;
  ASSERT_TRUE(driver_.Start(spec));
  ASSERT_TRUE(driver_.WaitForBody(5000));
  driver_.Close();
  ASSERT_TRUE(driver_.WaitClosed());
  EXPECT_EQ(driver_.Events(), (std::vector<std::string>{"SEND", "HEADERS 200", "READ", "ERROR 3 12017", "CLOSING"}));
  // The aborted connection is not reused: the next request opens another.
  ASSERT_TRUE(driver_.Start(Get(L"/file.bin")));
  ASSERT_TRUE(driver_.WaitClosed());
  EXPECT_EQ(driver_.status(), 200u);
  EXPECT_EQ(server_.ConnectionsAccepted(), 2);
}

TEST_F(WinHttpServerTest, CloseWhileReadingAnEndlessBody) {
  ServerFault endless;
  endless.path = "/file.bin";
  endless.kind = FaultKind::Endless;
  server_.AddFault(endless);
  RequestSpec spec = Get(L"/file.bin");
  spec.closeAtEnd = false;
  ASSERT_TRUE(driver_.Start(spec));
  ASSERT_TRUE(driver_.WaitFor("READ"));
  driver_.Close();
  ASSERT_TRUE(driver_.WaitClosed());
  const std::vector<std::string> events = driver_.Events();
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events.back(), "CLOSING");
  EXPECT_EQ(std::count(events.begin(), events.end(), "CLOSING"), 1);
}

TEST(WinHttpRefused, NothingListeningGives12029) {
  // A port that was just free: bind it, note it, let it go.
  UpdateServer probe;
  ASSERT_TRUE(probe.Start("127.0.0.1"));
  const INTERNET_PORT port = probe.port();
  probe.Stop();
  RequestDriver driver;
  ASSERT_TRUE(driver.Connect("127.0.0.1", port));
  ASSERT_TRUE(driver.Start(Get(L"/file.bin")));
  ASSERT_TRUE(driver.WaitClosed());
  EXPECT_EQ(driver.Events(), (std::vector<std::string>{"ERROR 5 12029", "CLOSING"}));
}

// The engine's own time-out, unshortened: a stalled body fails after 20 s.
TEST(WinHttpRealTimeout, StallFailsAfterTwentySeconds) {
  UpdateServer server;
  ASSERT_TRUE(server.Start("127.0.0.2"));
  server.PutFile("/file.bin", kFile);
  server.AddFault(Fault(FaultKind::StallAfterHead));
  RequestDriver driver;
  ASSERT_TRUE(driver.Connect("127.0.0.2", server.port()));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(driver.Start(Get(L"/file.bin", L"", 20000)));
  ASSERT_TRUE(driver.WaitClosed(40000));
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(driver.Events(), (std::vector<std::string>{"SEND", "HEADERS 200", "ERROR 3 12002", "CLOSING"}));
  EXPECT_GE(waited, std::chrono::milliseconds(19900));
}

}  // namespace

namespace {

// The range faults as the layer hands them on: the status and the
// Content-Range text a transfer connection parses.
struct RangeCase {
  const char* name;
  FaultKind kind;
  DWORD status;
  const wchar_t* contentRange;
};

const RangeCase kRangeCases[] = {
    {"Exact", FaultKind::None, 206, L"bytes 10240-20479/100000"},
    {"WholeFileInstead", FaultKind::WholeFile, 200, L""},
    {"WrongStart", FaultKind::WrongRangeStart, 206, L"bytes 10241-20480/100000"},
    {"WrongTotal", FaultKind::WrongTotal, 206, L"bytes 10240-20479/101000"},
    {"StarTotal", FaultKind::StarTotal, 206, L"bytes 10240-20479/*"},
};

class WinHttpRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(WinHttpRangeTest, StatusAndContentRange) {
  UpdateServer server;
  ASSERT_TRUE(server.Start("127.0.0.1"));
  server.PutFile("/file.bin", kFile);
  server.AddFault(Fault(GetParam().kind));
  RequestDriver driver;
  ASSERT_TRUE(driver.Connect("127.0.0.1", server.port()));
  ASSERT_TRUE(driver.Start(Get(L"/file.bin", L"bytes=10240-20479")));
  ASSERT_TRUE(driver.WaitClosed());
  EXPECT_EQ(driver.status(), GetParam().status);
  EXPECT_EQ(driver.contentRange(), GetParam().contentRange);
  EXPECT_EQ(driver.Body(), GetParam().status == 200 ? kFile : kFile.substr(10240, 10240));
}

INSTANTIATE_TEST_SUITE_P(Faults, WinHttpRangeTest, ::testing::ValuesIn(kRangeCases), RowName());

// The server's throttle is one budget for all its connections.
TEST(UpdateServerThrottle, SharedByConnections) {
  UpdateServer server;
  ASSERT_TRUE(server.Start("127.0.0.1"));
  server.PutFile("/file.bin", kFile);
  server.SetThrottle(400000);
  RequestDriver first, second;
  ASSERT_TRUE(first.Connect("127.0.0.1", server.port()));
  ASSERT_TRUE(second.Connect("127.0.0.1", server.port()));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(first.Start(Get(L"/file.bin")));
  ASSERT_TRUE(second.Start(Get(L"/file.bin")));
  ASSERT_TRUE(first.WaitClosed(10000));
  ASSERT_TRUE(second.WaitClosed(10000));
  // 200000 bytes at 400000 per second together: half a second at the least.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(450));
  EXPECT_EQ(first.Body(), kFile);
  EXPECT_EQ(second.Body(), kFile);
}

}  // namespace
