// WebRequest: the request pipeline from the address to the captured response. Each step runs
// only when the one before it succeeded; a failure writes its numbered message into the
// status text and gives the empty text.
#include "quorvane/web/web_request.h"

#include <fstream>
#include <sstream>

#include "declared_charset.h"
#include "http_exchange.h"
#include "proxy_list.h"
#include "request_headers.h"
#include "response_capture.h"
#include "url_parts.h"
#include "web_failure.h"

namespace quorvane {
namespace {

std::string Bytes(const Text& text) { return std::string(text.View()); }

}  // namespace

Text WebRequest(const Text& Url, const WebRequestOptions& options) {
  Text scratchStatus;
  Text& statusText = options.StatusText != nullptr ? *options.StatusText : scratchStatus;
  const auto fail = [&statusText](WebFailure failure) {
    statusText = WebFailureMessage(failure);
    return Text();
  };

  if (!HttpLibrarySupportsHttp()) return fail(WebFailure::kNoHttpSupport);
  const std::optional<UrlParts> address = CrackUrl(Url);
  if (!address) return fail(WebFailure::kBadAddress);

  ExchangePlan plan;
  plan.method = MethodName(options.Method);
  const std::string target = RequestLineTarget(RequestPath(*address));
  plan.url = OriginOf(*address) + target;
  plan.requestTarget = target;
  if (!options.ProxyAddress.Empty()) {
    // The session carries the proxy: a list it cannot read fails as the session does.
    const ProxyChoice proxy =
        ChooseProxy(ProxyListFor(options.ProxyAddress, address->secure), SchemeName(*address));
    if (!proxy.valid) return fail(WebFailure::kSession);
    plan.proxy = proxy.server;
  }
  plan.timeoutMilliseconds = TimeoutMilliseconds(options.TimeoutSeconds);
  plan.serverCredentials = {Bytes(options.UserName), Bytes(options.Password)};
  plan.proxyCredentials = {Bytes(options.ProxyUserName), Bytes(options.ProxyPassword)};
  plan.cookieEngine = options.RequestCookies != nullptr;
  plan.followRedirects = !options.NoRedirect;
  const std::optional<std::vector<Text>> lines = ApplyHeaderText(
      AssembleRequestHeaderText(options.ExtraHeaders, options.Method, options.RequestCookies));
  if (lines) {
    plan.headerLines->reserve(lines->size());
    for (const Text& line : *lines) plan.headerLines->push_back(Bytes(line));
  } else {
    plan.headerLines.reset();  // refused at the header step
  }
  plan.body = Bytes(options.PostData);

  ExchangeOutcome outcome = RunExchange(plan);
  if (outcome.failure == WebFailure::kBodyBroken) {
    // The body broke off after the response began: go on with what came.
    statusText = WebFailureMessage(WebFailure::kBodyBroken);
  } else if (outcome.failure != WebFailure::kNone) {
    return fail(outcome.failure);
  }
  if (!outcome.answered) return Text();

  CaptureResponse(Text(outcome.rawHeaders),
                  CaptureTargets{.responseHeaders = options.ResponseHeaders,
                                 .statusText = &statusText,
                                 .responseCookies = options.ResponseCookies,
                                 .redirectLocation = options.RedirectLocation,
                                 .requestCookies = options.RequestCookies,
                                 .autoMergeCookies = options.AutoMergeCookies});
  ByteSet body = std::move(outcome.body);
  Text page = PageTextOf(body.View());
  if (options.ResponseBytes != nullptr) *options.ResponseBytes = std::move(body);
  return page;
}

bool InitializeWebAccess() { return StartHttpLibrary(); }

void TrustExtraCertificateAuthorityForTesting(const std::string& pemFile) {
  std::string pem;
  if (!pemFile.empty()) {
    std::ifstream file(pemFile, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    pem = bytes.str();
  }
  SetExtraTrustedAuthorities(std::move(pem));
}

}  // namespace quorvane
