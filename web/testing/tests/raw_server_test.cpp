// The raw server: exact request bytes, and each misbehaviour as the client sees it.
#include <gtest/gtest.h>

#include <thread>

#include "quorvane/testing/test_servers.h"

namespace quorvane::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Act = RawServer::Act;
using namespace std::string_literals;

class RawServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(&error)) << error;
  }
  std::string Exchange(std::string_view request, std::chrono::milliseconds limit = 10s) {
    return ExchangeOnLoopback(server_.Port(), request, limit);
  }
  RawServer server_;
};

const std::string kPost =
    "POST /form?a=1 HTTP/1.1\r\nHost: 127.0.0.1\r\ncontent-TYPE: a/b\r\nX-Accept: 1\r\n"
    "CONTENT-LENGTH:  11\r\n\r\nhello\0world"s;

TEST_F(RawServerTest, RecordsTheExactBytesOfEachRequest) {
  const std::string withBody = kPost;
  const std::string get = "GET / HTTP/1.0\r\n\r\n";
  server_.SetBehaviour(Act::Respond, RawServer::MakeResponse("200 OK", {"X-A: b"}, "body"));
  // Bytes past the announced length belong to no request and are not recorded.
  EXPECT_EQ(Exchange(withBody + "EXTRA"),
            "HTTP/1.1 200 OK\r\nX-A: b\r\nContent-Length: 4\r\nConnection: close\r\n\r\nbody");
  EXPECT_EQ(Exchange(get).substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_EQ(server_.ReceivedRequests(), (std::vector<std::string>{withBody, get}));
  EXPECT_EQ(server_.AcceptedConnections(), 2);
  server_.ClearReceivedRequests();
  EXPECT_TRUE(server_.ReceivedRequests().empty());
}

TEST_F(RawServerTest, ARequestCutShortIsRecordedAsFarAsItCame) {
  ExchangeOnLoopback(server_.Port(), "GET /half HTTP/1.1\r\nHost: x", 10s,
                     /*closeAfterSending=*/true);
  ExchangeOnLoopback(server_.Port(), kPost.substr(0, kPost.size() - 3), 10s, true);
  EXPECT_EQ(server_.ReceivedRequests(),
            (std::vector<std::string>{"GET /half HTTP/1.1\r\nHost: x",
                                      kPost.substr(0, kPost.size() - 3)}));
}

TEST_F(RawServerTest, EachActAsTheClientSeesIt) {
  const std::string partial =
      "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n0123456789";
  server_.SetStallLimit(300ms);
  struct Row {
    Act act;
    std::string bytes;
    std::string expectedReply;
  };
  const Row rows[] = {
      {Act::Respond, "HTTP/1.0 204 No Content\r\n\r\n", "HTTP/1.0 204 No Content\r\n\r\n"},
      {Act::CloseBeforeResponse, "ignored", ""},
      {Act::SendNonHttp, "", std::string(RawServer::kNotHttpReply)},
      {Act::SendNonHttp, "\x16\x03\x01 binary", "\x16\x03\x01 binary"},
      {Act::BreakMidBody, partial, partial},
      {Act::StallThenClose, "ignored", ""},
      {Act::StallMidBody, partial, partial},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.act));
    server_.SetBehaviour(row.act, row.bytes);
    // The server ends each connection itself: the client's limit is never reached.
    const auto start = Clock::now();
    EXPECT_EQ(Exchange("GET /x HTTP/1.1\r\n\r\n", 20s), row.expectedReply);
    EXPECT_LT(Clock::now() - start, 10s);
  }
  EXPECT_EQ(server_.ReceivedRequests().size(), std::size(rows));
}

TEST_F(RawServerTest, BehavioursFollowEachOtherAndTheLastRepeats) {
  server_.SetBehaviours({{Act::Respond, "first"}, {Act::SendNonHttp, "second"}});
  EXPECT_EQ(Exchange("GET /1 HTTP/1.1\r\n\r\n"), "first");
  EXPECT_EQ(Exchange("GET /2 HTTP/1.1\r\n\r\n"), "second");
  EXPECT_EQ(Exchange("GET /3 HTTP/1.1\r\n\r\n"), "second");
  server_.SetBehaviours({});
  std::string reply = Exchange("GET /4 HTTP/1.1\r\n\r\n");
  EXPECT_EQ(reply, RawServer::MakeResponse("200 OK", {}, "ok"));
}

TEST_F(RawServerTest, AStallEndsWhenTheClientGivesUp) {
  server_.SetBehaviours({{Act::StallThenClose, ""}, {Act::Respond, "next"}});
  // The first client waits 200 ms and closes; the stall (60 s) must not hold up the next one.
  EXPECT_EQ(Exchange("GET /stall HTTP/1.1\r\n\r\n", 200ms), "");
  const auto start = Clock::now();
  EXPECT_EQ(Exchange("GET /next HTTP/1.1\r\n\r\n", 20s), "next");
  EXPECT_LT(Clock::now() - start, 10s);
}

TEST_F(RawServerTest, StopEndsAStallAtOnce) {
  server_.SetBehaviour(Act::StallThenClose);
  std::string reply = "unset";
  std::thread client([&] { reply = Exchange("GET /stall HTTP/1.1\r\n\r\n", 30s); });
  for (int i = 0; i < 1000 && server_.ReceivedRequests().empty(); ++i) {
    std::this_thread::sleep_for(5ms);
  }
  const auto start = Clock::now();
  server_.Stop();
  client.join();
  EXPECT_LT(Clock::now() - start, 10s);
  EXPECT_EQ(reply, "");
  EXPECT_FALSE(server_.IsRunning());
  EXPECT_EQ(server_.Port(), 0);
}

// The environment form, as the page-fetch tests use it.
TEST(RawServerEnvironmentTest, StartsAndStopsItsServer) {
  RawServerEnvironment environment;
  environment.SetUp();
  ASSERT_TRUE(environment.server().IsRunning());
  EXPECT_EQ(environment.server().Url("/p"),
            "http://127.0.0.1:" + std::to_string(environment.server().Port()) + "/p");
  environment.TearDown();
  EXPECT_FALSE(environment.server().IsRunning());
}

}  // namespace
}  // namespace quorvane::testing
