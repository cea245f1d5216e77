// HttpClient over libcurl: GET with the application's title as user agent and
// the environment's proxy settings, http and https only (redirects included,
// at most 5), a connect timeout, a stall timeout, and a body read to the end of
// the connection and checked against the limits. Cancel() aborts a running
// transfer at once from any thread.
#pragma once

#include <atomic>
#include <string>

#include "update/update_interfaces.h"

namespace tarnwick {

class CurlHttpClient : public HttpClient {
 public:
  explicit CurlHttpClient(std::string userAgent);
  ~CurlHttpClient() override;
  CurlHttpClient(const CurlHttpClient&) = delete;
  CurlHttpClient& operator=(const CurlHttpClient&) = delete;

  bool Get(const std::string& url, const HttpLimits& limits, HttpReply& reply) override;
  void Cancel() override;

 private:
  std::string m_strUserAgent;
  void* m_pMulti = nullptr;  // CURLM*, alive as long as the client
  std::atomic<bool> m_bCancelled{false};
};

}  // namespace tarnwick
