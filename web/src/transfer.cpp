#include "quorvane/web/transfer.h"

#include "http_exchange.h"

namespace quorvane {

TransferResult Transfer(const TransferRequest& request) {
  ExchangePlan plan;
  plan.method = "GET";
  plan.url = request.url;
  if (!request.userAgent.empty()) plan.headerLines->push_back("User-Agent: " + request.userAgent);
  for (const std::string& line : request.headerLines) plan.headerLines->push_back(line);
  plan.serverCredentials = {request.userName, request.password};
  plan.timeoutMilliseconds = request.timeoutMilliseconds > 0 ? request.timeoutMilliseconds : 30000;
  plan.followRedirects = request.followRedirects;
  plan.http10 = request.http10;

  ExchangeOutcome outcome = RunExchange(plan);
  TransferResult result;
  result.body = std::move(outcome.body);
  result.statusCode = outcome.answered ? outcome.statusCode : 0;
  result.complete = outcome.answered && outcome.failure == WebFailure::kNone;
  return result;
}

}  // namespace quorvane
