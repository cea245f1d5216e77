#include "update/curl/curl_http_client.h"

#include <curl/curl.h>

#include <mutex>
#include <string_view>
#include <utility>

#include "update/update_rules.h"

namespace tarnwick {
namespace {

constexpr long kConnectTimeoutSeconds = 15;
// A transfer that moves less than a byte a second for this long has stalled.
constexpr long kStallSeconds = 30;
constexpr long kMaxRedirects = 5;

// What the callbacks of one transfer share.
struct Transfer {
  HttpReply* reply;
  const HttpLimits* limits;
  const std::atomic<bool>* cancelled;
  std::size_t received = 0;
  bool lengthConflict = false;
  bool cut = false;  // the body reached maxBody and was cut there on purpose
};

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const HttpLimits& limits = *transfer->limits;
  const std::size_t length = size * count;
  const std::size_t room = limits.maxBody - transfer->received;
  // Anything but length ends the transfer with an error. Nothing here may
  // throw through libcurl: appends are bounded by maxBody, and a failing one
  // ends the transfer.
  if (length > room && !limits.cutBody) return 0;
  const std::size_t taken = length > room ? room : length;
  try {
    if (limits.sink) {
      if (!limits.sink(std::string_view(data, taken))) return 0;
    } else {
      transfer->reply->body.append(data, taken);
    }
  } catch (...) {
    return 0;
  }
  transfer->received += taken;
  if (taken < length) {
    transfer->cut = true;
    return 0;
  }
  return length;
}

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t length = size * count;
  const std::string_view line(data, length);
  // Each response of a redirect chain starts with its status line; only the
  // last one's headers describe the body.
  if (StartsWithNoCase(line, "http/")) {
    transfer->reply->contentLength.reset();
    transfer->lengthConflict = false;
    return length;
  }
  constexpr std::string_view kName = "content-length:";
  if (!StartsWithNoCase(line, kName)) return length;
  const std::string value(Trimmed(line.substr(kName.size())));
  std::optional<std::string>& stored = transfer->reply->contentLength;
  if (stored && *stored != value) transfer->lengthConflict = true;
  stored = value;
  // A body announced larger than allowed is not fetched at all. Nothing is
  // reserved for it: the announcement is the sender's word only.
  const std::optional<std::uint64_t> announced = ParseContentLength(value);
  if (announced && *announced > transfer->limits->maxBody && !transfer->limits->cutBody) return 0;
  return length;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<Transfer*>(user)->cancelled->load() ? 1 : 0;
}

}  // namespace

CurlHttpClient::CurlHttpClient(std::string userAgent) : m_strUserAgent(std::move(userAgent)) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  m_pMulti = curl_multi_init();
}

CurlHttpClient::~CurlHttpClient() {
  if (m_pMulti != nullptr) curl_multi_cleanup(static_cast<CURLM*>(m_pMulti));
}

void CurlHttpClient::Cancel() {
  m_bCancelled = true;
  if (m_pMulti != nullptr) curl_multi_wakeup(static_cast<CURLM*>(m_pMulti));
}

bool CurlHttpClient::Get(const std::string& url, const HttpLimits& limits, HttpReply& reply) {
  reply = HttpReply();
  if (m_bCancelled || m_pMulti == nullptr) return false;
  CURLM* multi = static_cast<CURLM*>(m_pMulti);
  CURL* easy = curl_easy_init();
  if (easy == nullptr) return false;

  Transfer transfer{&reply, &limits, &m_bCancelled};
  // The body is read to the end of the connection and compared with the
  // length header afterwards, so a body longer than announced is seen too.
  curl_slist* headers = curl_slist_append(nullptr, "Connection: close");
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
  curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(easy, CURLOPT_USERAGENT, m_strUserAgent.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
  curl_easy_setopt(easy, CURLOPT_TIMEOUT, limits.timeoutSeconds);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
#if LIBCURL_VERSION_NUM >= 0x075700
  // A transfer torn down during its name lookup leaves the lookup's thread
  // behind instead of waiting for it, which with a resolver that does not
  // answer takes as long as the system's lookup timeouts.
  curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
#endif
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);

  bool done = false;
  CURLcode result = CURLE_FAILED_INIT;
  if (curl_multi_add_handle(multi, easy) == CURLM_OK) {
    // The wait ends early when Cancel() wakes the multi handle.
    while (!m_bCancelled) {
      int running = 0;
      if (curl_multi_perform(multi, &running) != CURLM_OK) break;
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
          result = message->data.result;
          // The end of a body cut on purpose is the end of the transfer.
          if (transfer.cut && result == CURLE_WRITE_ERROR) result = CURLE_OK;
          done = true;
        }
      }
      if (done || running == 0) break;
      if (curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) break;
    }
    curl_multi_remove_handle(multi, easy);
  }
  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(easy);
  curl_slist_free_all(headers);

  reply.status = status;
  if (transfer.lengthConflict) reply.contentLength.reset();
  if (!done || result != CURLE_OK || m_bCancelled) return false;
  return status >= 200 && status < 300;
}

}  // namespace tarnwick
