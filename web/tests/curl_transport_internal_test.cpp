#include "curl_transport_internal.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(FailureOfTransfer, SplitsTheStagesByWhatWasSeen) {
  const TransferProgress notSent{};
  const TransferProgress sent{.requestSent = true};
  const TransferProgress answered{.requestSent = true, .headersCame = true};
  const TransferProgress endedByUs{
      .requestSent = true, .headersCame = true, .endedAfterHeaders = true};
  const struct {
    CURLcode result;
    TransferProgress progress;
    WebFailure failure;
  } rows[] = {
      // Before the request was out: name resolution, connection, TLS, proxy, send, limits.
      {CURLE_COULDNT_RESOLVE_HOST, notSent, WebFailure::kSend},
      {CURLE_COULDNT_RESOLVE_PROXY, notSent, WebFailure::kSend},
      {CURLE_COULDNT_CONNECT, notSent, WebFailure::kSend},
      {CURLE_OPERATION_TIMEDOUT, notSent, WebFailure::kSend},
      {CURLE_SSL_CONNECT_ERROR, notSent, WebFailure::kSend},
      {CURLE_PEER_FAILED_VERIFICATION, notSent, WebFailure::kSend},
      {CURLE_PROXY, notSent, WebFailure::kSend},
      {CURLE_SEND_ERROR, notSent, WebFailure::kSend},
      {CURLE_RECV_ERROR, notSent, WebFailure::kSend},  // e.g. reset during the handshake
      {CURLE_ABORTED_BY_CALLBACK, notSent, WebFailure::kSend},
      // After it, without a header block: nothing usable came back.
      {CURLE_GOT_NOTHING, sent, WebFailure::kNoResponse},
      {CURLE_RECV_ERROR, sent, WebFailure::kNoResponse},
      {CURLE_WEIRD_SERVER_REPLY, sent, WebFailure::kNoResponse},
      {CURLE_UNSUPPORTED_PROTOCOL, sent, WebFailure::kNoResponse},  // an HTTP/0.9 reply
      {CURLE_OPERATION_TIMEDOUT, sent, WebFailure::kNoResponse},
      {CURLE_ABORTED_BY_CALLBACK, sent, WebFailure::kNoResponse},
      {CURLE_OK, notSent, WebFailure::kNoResponse},
      {CURLE_OK, sent, WebFailure::kNoResponse},
      // With the header block: the body broke off, or all is well.
      {CURLE_PARTIAL_FILE, answered, WebFailure::kBodyBroken},
      {CURLE_RECV_ERROR, answered, WebFailure::kBodyBroken},
      {CURLE_ABORTED_BY_CALLBACK, answered, WebFailure::kBodyBroken},
      {CURLE_OK, answered, WebFailure::kNone},
      {CURLE_WRITE_ERROR, endedByUs, WebFailure::kNone},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(curl_easy_strerror(row.result)) +
                 (row.progress.requestSent ? ", sent" : "") +
                 (row.progress.headersCame ? ", headers came" : "") +
                 (row.progress.endedAfterHeaders ? ", ended by us" : ""));
    EXPECT_EQ(FailureOfTransfer(row.result, row.progress), row.failure);
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
