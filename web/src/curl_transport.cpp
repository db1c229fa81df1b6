// The HTTP transport on libcurl: one easy handle per exchange, redirects followed here rather
// than by libcurl, so that the first request's target goes exactly as given, the policy on
// schemes and methods is ours and only the final response's header block is kept.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string_view>

#include "curl_transport_internal.h"
#include "http_exchange.h"
#include "redirect_policy.h"

namespace quorvane {
namespace {

using Clock = std::chrono::steady_clock;

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct HeaderListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlTextDeleter {
  void operator()(char* text) const { curl_free(text); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;
using CurlText = std::unique_ptr<char, CurlTextDeleter>;

// ---- trusted authorities ----------------------------------------------------------------

std::mutex& AuthorityMutex() {
  static std::mutex mutex;
  return mutex;
}
// The system's bundle followed by the extra authorities; empty: the system's store alone.
std::string& CombinedAuthorities() {
  static std::string bundle;
  return bundle;
}

std::string ReadFileBytes(const char* path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// ---- one request's progress, filled by libcurl's callbacks --------------------------------

struct HopProgress {
  HopProgress(CURL* easy, int32_t limitMilliseconds)
      : handle(easy), limit(limitMilliseconds), lastActivity(Clock::now()) {}

  CURL* handle;
  std::chrono::milliseconds limit;
  Clock::time_point lastActivity;
  bool inactivityExpired = false;
  curl_off_t lastDownloaded = 0;
  curl_off_t lastUploaded = 0;

  // Set once the connection (and any proxy tunnel) stands, just before the request goes out.
  bool requestPhase = false;
  // A HEAD request: its response has no body whatever its headers say, so the transfer ends
  // with the header block (endedAfterHeaders).
  bool headersOnly = false;
  bool endedAfterHeaders = false;

  std::string block;  // the header block being received
  int blockStatus = 0;
  bool inBlock = false;
  std::string finalBlock;  // the last complete block of a response to our request
  int finalStatus = 0;
  bool finalComplete = false;
  std::string tunnelBlock;  // the proxy's reply to CONNECT
  int tunnelStatus = 0;
  bool tunnelComplete = false;

  ByteSet body;
  bool bodyReserved = false;
};

// Room reserved up front for a body of announced length, at most this much: a length is a
// promise of the server, not a fact.
constexpr long kReceiveBufferBytes = 102400;
constexpr curl_off_t kMostReservedBody = curl_off_t{64} << 20;

void FinishBlock(HopProgress& hop) {
  hop.block += "\r\n";
  hop.inBlock = false;
  if (hop.blockStatus >= 100 && hop.blockStatus < 200) return;  // 100 Continue and the like
  if (!hop.requestPhase) {
    hop.tunnelBlock = std::move(hop.block);
    hop.tunnelStatus = hop.blockStatus;
    hop.tunnelComplete = true;
  } else {
    hop.finalBlock = std::move(hop.block);
    hop.finalStatus = hop.blockStatus;
    hop.finalComplete = true;
  }
  hop.block.clear();
}

size_t OnHeaderLine(char* data, size_t size, size_t count, void* user) {
  auto& hop = *static_cast<HopProgress*>(user);
  const size_t length = size * count;
  hop.lastActivity = Clock::now();
  std::string_view line(data, length);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.substr(0, 5) == "HTTP/") {
    hop.block.assign(line);
    hop.block += "\r\n";
    hop.blockStatus = StatusCodeOfLine(line);
    hop.inBlock = true;
  } else if (line.empty()) {
    if (hop.inBlock) FinishBlock(hop);
    if (hop.finalComplete && hop.headersOnly) {
      hop.endedAfterHeaders = true;
      return 0;  // ends the transfer (CURLE_WRITE_ERROR) before libcurl waits for a body
    }
  } else if (hop.inBlock) {
    hop.block.append(line);
    hop.block += "\r\n";
  }
  // Lines outside a block are trailers of a chunked body: not part of the header block.
  return length;
}

size_t OnBodyBytes(char* data, size_t size, size_t count, void* user) {
  auto& hop = *static_cast<HopProgress*>(user);
  const size_t length = size * count;
  hop.lastActivity = Clock::now();
  if (!hop.bodyReserved) {
    // One allocation for the whole body instead of a copy at every doubling.
    hop.bodyReserved = true;
    curl_off_t announced = -1;
    if (curl_easy_getinfo(hop.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
        announced > 0) {
      hop.body.Reserve(std::min(announced, kMostReservedBody));
    }
  }
  hop.body.Append(std::string_view(data, length));
  return length;
}

// libcurl calls this at least once a second while a transfer runs; sending and receiving
// may each stay idle for at most the limit.
int OnProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  auto& hop = *static_cast<HopProgress*>(user);
  const Clock::time_point now = Clock::now();
  if (downloaded != hop.lastDownloaded || uploaded != hop.lastUploaded) {
    hop.lastDownloaded = downloaded;
    hop.lastUploaded = uploaded;
    hop.lastActivity = now;
    return 0;
  }
  if (hop.requestPhase && now - hop.lastActivity >= hop.limit) {
    hop.inactivityExpired = true;
    return 1;  // ends the transfer with CURLE_ABORTED_BY_CALLBACK
  }
  return 0;
}

// Called when the connection stands (any tunnel included) and the request is about to go.
int OnRequestPhase(void* user, char*, char*, int, int) {
  auto& hop = *static_cast<HopProgress*>(user);
  hop.requestPhase = true;
  hop.lastActivity = Clock::now();
  hop.inBlock = false;
  return CURL_PREREQFUNC_OK;
}

// ---- addresses ----------------------------------------------------------------------------

std::string UrlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) return {};
  CurlText owned(text);
  return std::string(owned.get());
}

UrlHandle ParseUrl(const std::string& address) {
  UrlHandle url(curl_url());
  if (!url || curl_url_set(url.get(), CURLUPART_URL, address.c_str(), 0) != CURLUE_OK) {
    return nullptr;
  }
  return url;
}

// "scheme://host[:port]" with the port only when the address names one.
std::string OriginOf(CURLU* url) {
  std::string origin = UrlPart(url, CURLUPART_SCHEME) + "://" + UrlPart(url, CURLUPART_HOST);
  const std::string port = UrlPart(url, CURLUPART_PORT);
  if (!port.empty()) origin += ":" + port;
  return origin;
}

// Scheme, host and port, the port filled in when the address leaves it to the scheme.
std::string EndpointOf(CURLU* url) {
  return UrlPart(url, CURLUPART_SCHEME) + "://" + UrlPart(url, CURLUPART_HOST) + ":" +
         UrlPart(url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
}

bool SameName(std::string_view line, std::string_view name);

// The value of the block's first Location line, spaces and tabs trimmed; empty without one.
std::string LocationOf(std::string_view block) {
  size_t start = 0;
  while (start < block.size()) {
    size_t end = block.find("\r\n", start);
    if (end == std::string_view::npos) end = block.size();
    const std::string_view line = block.substr(start, end - start);
    if (SameName(line, "location")) {
      std::string_view value = line.substr(9);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
        value.remove_prefix(1);
      }
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
        value.remove_suffix(1);
      return std::string(value);
    }
    start = end + 2;
  }
  return {};
}

bool SameName(std::string_view line, std::string_view name) {
  if (line.size() < name.size() + 1 || line[name.size()] != ':') return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    char n = name[i];
    if (n >= 'A' && n <= 'Z') n = static_cast<char>(n - 'A' + 'a');
    if (c != n) return false;
  }
  return true;
}

// ---- one exchange ---------------------------------------------------------------------------

class Exchange {
 public:
  explicit Exchange(const ExchangePlan& plan) : plan_(plan) {}

  ExchangeOutcome Run();

 private:
  // Each set-up step returns false when libcurl refuses one of its options.
  bool SetUpSession();
  bool SetUpRequest(const std::string& url, const std::string& target, const std::string& method,
                    bool withBody);
  bool SetUpTimeouts();
  bool SetUpCredentials(bool toServer);
  bool SetUpCookies();
  bool SetUpRedirects();
  bool SetUpHeaders(bool firstRequest);
  ExchangeOutcome Fail(WebFailure failure) {
    ExchangeOutcome outcome;
    outcome.failure = failure;
    return outcome;
  }

  template <typename Value>
  bool Set(CURLoption option, Value value) {
    return curl_easy_setopt(handle_.get(), option, value) == CURLE_OK;
  }

  const ExchangePlan& plan_;
  EasyHandle handle_;
  HeaderList headers_;
  std::unique_ptr<HopProgress> hop_;
  curl_off_t bodyBytes_ = 0;  // the size of the body the current request sends
};

bool Exchange::SetUpSession() {
  bool ok = Set(CURLOPT_NOSIGNAL, 1L) && Set(CURLOPT_PROTOCOLS_STR, "http,https") &&
            Set(CURLOPT_HTTP_VERSION,
                plan_.http10 ? long{CURL_HTTP_VERSION_1_0} : long{CURL_HTTP_VERSION_1_1}) &&
            Set(CURLOPT_HTTP09_ALLOWED, 0L) && Set(CURLOPT_SSL_VERIFYPEER, 1L) &&
            Set(CURLOPT_SSL_VERIFYHOST, 2L) && Set(CURLOPT_NOPROXY, "") &&
            Set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 0L) &&
            // Large pictures arrive in fewer, larger reads (libcurl's default is 16 KiB).
            Set(CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  // libcurl copies string options. An empty proxy name also keeps libcurl from reading one
  // from the environment.
  const std::string proxy =
      plan_.proxy ? "http://" + plan_.proxy->host + ":" + std::to_string(plan_.proxy->port) : "";
  ok = ok && Set(CURLOPT_PROXY, proxy.c_str());
  {
    std::lock_guard<std::mutex> lock(AuthorityMutex());
    const std::string& bundle = CombinedAuthorities();
    if (ok && !bundle.empty()) {
      curl_blob blob{const_cast<char*>(bundle.data()), bundle.size(), CURL_BLOB_COPY};
      ok = Set(CURLOPT_CAINFO_BLOB, &blob);
    }
  }
  return ok && Set(CURLOPT_HEADERFUNCTION, OnHeaderLine) &&
         Set(CURLOPT_WRITEFUNCTION, OnBodyBytes) && Set(CURLOPT_XFERINFOFUNCTION, OnProgress) &&
         Set(CURLOPT_NOPROGRESS, 0L) && Set(CURLOPT_PREREQFUNCTION, OnRequestPhase);
}

bool Exchange::SetUpRequest(const std::string& url, const std::string& target,
                            const std::string& method, bool withBody) {
  const UrlHandle parsed = ParseUrl(url);
  if (parsed == nullptr) return false;
  const bool secure = UrlPart(parsed.get(), CURLUPART_SCHEME) == "https";
  bool ok = Set(CURLOPT_URL, url.c_str()) &&
            Set(CURLOPT_HTTPPROXYTUNNEL, plan_.proxy && secure ? 1L : 0L);
  // Through a proxy without a tunnel the request line carries the absolute address; libcurl
  // writes it itself only when it derives the target.
  std::string requestTarget = target;
  if (!requestTarget.empty() && plan_.proxy && !secure) {
    requestTarget = OriginOf(parsed.get()) + requestTarget;
  }
  ok = ok && Set(CURLOPT_REQUEST_TARGET,
                 requestTarget.empty() ? static_cast<const char*>(nullptr) : requestTarget.c_str());

  // Back to a plain GET first (setting any body makes libcurl's method POST, so the body goes
  // first), then the method and the body of this request.
  ok = ok && Set(CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t{-1}) &&
       Set(CURLOPT_POSTFIELDS, static_cast<void*>(nullptr)) &&
       Set(CURLOPT_CUSTOMREQUEST, static_cast<char*>(nullptr)) && Set(CURLOPT_HTTPGET, 1L);
  const bool sendBody = withBody && (!plan_.body.empty() || method == "POST" || method == "PUT");
  bodyBytes_ = sendBody ? static_cast<curl_off_t>(plan_.body.size()) : 0;
  if (sendBody) {
    ok = ok && Set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(plan_.body.size())) &&
         Set(CURLOPT_POSTFIELDS, plan_.body.data());
  }
  if (method != "GET" || sendBody) ok = ok && Set(CURLOPT_CUSTOMREQUEST, method.c_str());
  return ok;
}

bool Exchange::SetUpTimeouts() {
  return Set(CURLOPT_CONNECTTIMEOUT_MS, long{plan_.timeoutMilliseconds});
}

bool Exchange::SetUpCredentials(bool toServer) {
  bool ok = true;
  if (toServer && plan_.serverCredentials.Usable()) {
    ok = Set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC)) &&
         Set(CURLOPT_USERNAME, plan_.serverCredentials.user.c_str()) &&
         Set(CURLOPT_PASSWORD, plan_.serverCredentials.password.c_str());
  } else {
    ok = Set(CURLOPT_USERNAME, static_cast<char*>(nullptr)) &&
         Set(CURLOPT_PASSWORD, static_cast<char*>(nullptr));
  }
  if (ok && plan_.proxyCredentials.Usable()) {
    ok = Set(CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC)) &&
         Set(CURLOPT_PROXYUSERNAME, plan_.proxyCredentials.user.c_str()) &&
         Set(CURLOPT_PROXYPASSWORD, plan_.proxyCredentials.password.c_str());
  }
  return ok;
}

bool Exchange::SetUpCookies() {
  // An empty file name starts libcurl's cookie engine without reading anything. (WinHTTP's
  // option for this also switches on certificate revocation checks; libcurl over OpenSSL has
  // no cheap counterpart, so that side is left out.)
  return !plan_.cookieEngine || Set(CURLOPT_COOKIEFILE, "");
}

bool Exchange::SetUpRedirects() { return Set(CURLOPT_FOLLOWLOCATION, 0L); }

bool Exchange::SetUpHeaders(bool firstRequest) {
  std::vector<std::string> lines = *plan_.headerLines;
  std::string cookieLine;
  if (!firstRequest && plan_.cookieEngine) {
    // Cookies set by earlier responses of this exchange travel on this request: let libcurl
    // put ours on the same Cookie line as those, rather than send two lines.
    for (auto line = lines.begin(); line != lines.end(); ++line) {
      if (SameName(*line, "cookie")) {
        std::string_view value = std::string_view(*line).substr(7);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        cookieLine = std::string(value);
        lines.erase(line);
        break;
      }
    }
  }
  HeaderList list;
  for (const std::string& line : LinesForLibrary(lines)) {
    curl_slist* longer = curl_slist_append(list.get(), line.c_str());
    if (longer == nullptr) return false;
    list.release();
    list.reset(longer);
  }
  headers_ = std::move(list);
  return Set(CURLOPT_HTTPHEADER, headers_.get()) &&
         Set(CURLOPT_COOKIE,
             cookieLine.empty() ? static_cast<const char*>(nullptr) : cookieLine.c_str());
}

ExchangeOutcome Exchange::Run() {
  if (!HttpLibrarySupportsHttp()) return Fail(WebFailure::kNoHttpSupport);
  handle_.reset(curl_easy_init());
  if (!handle_ || !SetUpSession()) return Fail(WebFailure::kSession);

  const UrlHandle first = ParseUrl(plan_.url);
  if (first == nullptr) return Fail(WebFailure::kConnection);
  const std::string firstEndpoint = EndpointOf(first.get());

  std::string url = plan_.url;
  std::string method = plan_.method;
  bool withBody = true;
  if (!SetUpRequest(url, plan_.requestTarget, method, withBody)) {
    return Fail(WebFailure::kRequest);
  }
  if (!SetUpTimeouts()) return Fail(WebFailure::kTimeouts);
  if (!SetUpCredentials(true)) return Fail(WebFailure::kCredentials);
  if (!SetUpCookies()) return Fail(WebFailure::kCookies);
  if (!SetUpRedirects()) return Fail(WebFailure::kRedirects);
  if (!plan_.headerLines || !SetUpHeaders(true)) return Fail(WebFailure::kHeaders);

  for (int redirects = 0;; ++redirects) {
    hop_ = std::make_unique<HopProgress>(handle_.get(), plan_.timeoutMilliseconds);
    HopProgress& hop = *hop_;
    // Not CURLOPT_NOBODY: that would also keep libcurl from sending a body with HEAD.
    hop.headersOnly = method == "HEAD";
    if (!Set(CURLOPT_HEADERDATA, &hop) || !Set(CURLOPT_WRITEDATA, &hop) ||
        !Set(CURLOPT_XFERINFODATA, &hop) || !Set(CURLOPT_PREREQDATA, &hop)) {
      return Fail(redirects == 0 ? WebFailure::kSession : WebFailure::kNoResponse);
    }
    const CURLcode result = curl_easy_perform(handle_.get());

    curl_off_t uploaded = 0;
    curl_easy_getinfo(handle_.get(), CURLINFO_SIZE_UPLOAD_T, &uploaded);
    const WebFailure failure =
        FailureOfTransfer(result, {.requestSent = hop.requestPhase && uploaded >= bodyBytes_,
                                   .headersCame = hop.finalComplete,
                                   .endedAfterHeaders = hop.endedAfterHeaders});
    ExchangeOutcome outcome;
    if (hop.finalComplete) {
      outcome.failure = failure;
      outcome.answered = true;
      outcome.rawHeaders = std::move(hop.finalBlock);
      outcome.statusCode = hop.finalStatus;
      outcome.body = std::move(hop.body);
      if (failure != WebFailure::kNone) return outcome;
    } else if (!hop.requestPhase && hop.tunnelComplete &&
               (hop.tunnelStatus < 200 || hop.tunnelStatus > 299)) {
      // The proxy would not open the tunnel; its reply is the answer, as with a plain request.
      outcome.answered = true;
      outcome.rawHeaders = std::move(hop.tunnelBlock);
      outcome.statusCode = hop.tunnelStatus;
      return outcome;
    } else {
      return Fail(failure);
    }

    if (!plan_.followRedirects || !IsRedirectStatus(outcome.statusCode)) return outcome;
    const std::string location = LocationOf(outcome.rawHeaders);
    if (location.empty()) return outcome;  // a redirect status without a target is final
    // The current address; setting the location on it resolves the location against it.
    const UrlHandle address = ParseUrl(url);
    if (address == nullptr) return Fail(WebFailure::kNoResponse);
    const std::string currentScheme = UrlPart(address.get(), CURLUPART_SCHEME);
    if (curl_url_set(address.get(), CURLUPART_URL, location.c_str(),
                     CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE | CURLU_ALLOW_SPACE) != CURLUE_OK) {
      return Fail(WebFailure::kNoResponse);
    }
    const std::string next = UrlPart(address.get(), CURLUPART_URL);
    switch (DecideRedirect(currentScheme, UrlPart(address.get(), CURLUPART_SCHEME), redirects)) {
      case RedirectStep::kStop:
        return outcome;
      case RedirectStep::kFail:
        return Fail(WebFailure::kNoResponse);
      case RedirectStep::kFollow:
        break;
    }
    const std::string nextMethod = MethodAfterRedirect(method, outcome.statusCode);
    if (nextMethod != method) withBody = false;  // the body goes with the method it was for
    method = nextMethod;
    url = next;
    if (!SetUpRequest(url, std::string(), method, withBody) ||
        !SetUpCredentials(EndpointOf(address.get()) == firstEndpoint) || !SetUpHeaders(false)) {
      return Fail(WebFailure::kNoResponse);
    }
  }
}

}  // namespace

// ---- pieces shared with the tests ---------------------------------------------------------

WebFailure FailureOfTransfer(CURLcode result, const TransferProgress& progress) {
  if (progress.headersCame) {
    return result == CURLE_OK || progress.endedAfterHeaders ? WebFailure::kNone
                                                            : WebFailure::kBodyBroken;
  }
  if (result == CURLE_OK || progress.requestSent) return WebFailure::kNoResponse;
  return WebFailure::kSend;
}

std::vector<std::string> LinesForLibrary(const std::vector<std::string>& lines) {
  static constexpr std::string_view kLibraryDefaults[] = {"Accept", "Content-Type", "Expect",
                                                          "User-Agent", "Proxy-Connection"};
  std::vector<std::string> result = lines;
  for (std::string_view name : kLibraryDefaults) {
    bool present = false;
    for (const std::string& line : lines) present = present || SameName(line, name);
    if (!present) result.push_back(std::string(name) + ":");
  }
  return result;
}

int StatusCodeOfLine(std::string_view statusLine) {
  const size_t space = statusLine.find(' ');
  if (space == std::string_view::npos || statusLine.size() < space + 4) return 0;
  int code = 0;
  for (size_t i = space + 1; i < space + 4; ++i) {
    const char c = statusLine[i];
    if (c < '0' || c > '9') return 0;
    code = code * 10 + (c - '0');
  }
  return code;
}

// ---- the library ----------------------------------------------------------------------------

bool StartHttpLibrary() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] { started = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return started;
}

bool HttpLibrarySupportsHttp() {
  if (!StartHttpLibrary()) return false;
  static const bool supportsHttp = [] {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    if (info == nullptr || info->protocols == nullptr) return false;
    for (const char* const* protocol = info->protocols; *protocol != nullptr; ++protocol) {
      if (std::strcmp(*protocol, "http") == 0) return true;
    }
    return false;
  }();
  return supportsHttp;
}

ExchangeOutcome RunExchange(const ExchangePlan& plan) { return Exchange(plan).Run(); }

void SetExtraTrustedAuthorities(std::string pem) {
  std::string combined;
  if (!pem.empty() && StartHttpLibrary()) {
    // The extra authorities replace libcurl's bundle, so the system's bundle goes in front.
    const char* systemBundle = nullptr;
    EasyHandle probe(curl_easy_init());
    if (probe) curl_easy_getinfo(probe.get(), CURLINFO_CAINFO, &systemBundle);
    combined = ReadFileBytes(systemBundle != nullptr ? systemBundle
                                                     : "/etc/ssl/certs/ca-certificates.crt");
    if (!combined.empty() && combined.back() != '\n') combined += '\n';
    combined += pem;
  }
  std::lock_guard<std::mutex> lock(AuthorityMutex());
  CombinedAuthorities() = std::move(combined);
}

}  // namespace quorvane
