#include "curl_transport_internal.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(FailureOfTransfer, SplitsSendingFromReceivingByWhetherTheRequestWentOut) {
  const struct {
    CURLcode result;
    bool requestSent;
    WebFailure failure;
  } rows[] = {
      // Before the request was out: name resolution, connection, TLS, proxy, send, limits.
      {CURLE_COULDNT_RESOLVE_HOST, false, WebFailure::kSend},
      {CURLE_COULDNT_RESOLVE_PROXY, false, WebFailure::kSend},
      {CURLE_COULDNT_CONNECT, false, WebFailure::kSend},
      {CURLE_OPERATION_TIMEDOUT, false, WebFailure::kSend},
      {CURLE_SSL_CONNECT_ERROR, false, WebFailure::kSend},
      {CURLE_PEER_FAILED_VERIFICATION, false, WebFailure::kSend},
      {CURLE_PROXY, false, WebFailure::kSend},
      {CURLE_SEND_ERROR, false, WebFailure::kSend},
      {CURLE_RECV_ERROR, false, WebFailure::kSend},  // e.g. reset during the handshake
      {CURLE_ABORTED_BY_CALLBACK, false, WebFailure::kSend},
      // After it: nothing usable came back.
      {CURLE_GOT_NOTHING, true, WebFailure::kNoResponse},
      {CURLE_RECV_ERROR, true, WebFailure::kNoResponse},
      {CURLE_WEIRD_SERVER_REPLY, true, WebFailure::kNoResponse},
      {CURLE_UNSUPPORTED_PROTOCOL, true, WebFailure::kNoResponse},  // an HTTP/0.9 reply
      {CURLE_OPERATION_TIMEDOUT, true, WebFailure::kNoResponse},
      {CURLE_ABORTED_BY_CALLBACK, true, WebFailure::kNoResponse},
      // A transfer that ended well but without a response block.
      {CURLE_OK, false, WebFailure::kNoResponse},
      {CURLE_OK, true, WebFailure::kNoResponse},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(curl_easy_strerror(row.result)) +
                 (row.requestSent ? " (sent)" : " (not sent)"));
    EXPECT_EQ(FailureOfTransfer(row.result, row.requestSent), row.failure);
  }
}

TEST(LinesForLibrary, RemovesTheLibrarysOwnLinesThatOursLack) {
  using Lines = std::vector<std::string>;
  const struct {
    Lines ours;
    Lines handedOver;
  } rows[] = {
      {{}, {"Accept:", "Content-Type:", "Expect:", "User-Agent:", "Proxy-Connection:"}},
      {{"accept: */*", "X: 1"},
       {"accept: */*", "X: 1", "Content-Type:", "Expect:", "User-Agent:", "Proxy-Connection:"}},
      {{"User-Agent: a", "Content-Type: b", "EXPECT: c", "Accept: d", "Proxy-Connection: e"},
       {"User-Agent: a", "Content-Type: b", "EXPECT: c", "Accept: d", "Proxy-Connection: e"}},
      // Only the name counts: X-Accept and Accept-Language are other headers.
      {{"X-Accept: 1", "Accept-Language: zh-cn"},
       {"X-Accept: 1", "Accept-Language: zh-cn",
        "Accept:", "Content-Type:", "Expect:", "User-Agent:", "Proxy-Connection:"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.ours));
    EXPECT_EQ(LinesForLibrary(row.ours), row.handedOver);
  }
}

TEST(StatusCodeOfLine, ReadsTheThreeDigitsAfterTheVersion) {
  const struct {
    const char* line;
    int code;
  } rows[] = {
      {"HTTP/1.1 200 OK", 200}, {"HTTP/1.0 404 Not Found", 404},
      {"HTTP/1.1 302", 302},    {"HTTP/1.1 100 Continue", 100},
      {"HTTP/1.1 20", 0},       {"HTTP/1.1 2x0 OK", 0},
      {"HTTP/1.1", 0},          {"", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(StatusCodeOfLine(row.line), row.code);
  }
}

}  // namespace
}  // namespace quorvane
