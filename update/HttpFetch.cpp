#include "update/HttpFetch.h"

#include <QUrl>
#include <curl/curl.h>
#include <memory>
#include <mutex>

namespace kelvane {

namespace {

enum class Abort { None, NotOk, BodyTooLarge, HeadersTooLarge };

struct Transfer {
    CURL* curl = nullptr;
    const HttpLimits& limits;
    QByteArray body;
    qsizetype headerBytes = 0;
    Abort abort = Abort::None;
};

long ResponseCode(CURL* curl) {
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

// Returning less than `count` makes libcurl end the transfer with CURLE_WRITE_ERROR.
size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (bytes == 0)
        return 0;
    // The body of anything but a 200 is never read, however long the server says it is.
    if (ResponseCode(transfer.curl) != 200) {
        transfer.abort = Abort::NotOk;
        return 0;
    }
    // Counted as it arrives, so a chunked body or one without Content-Length is capped too.
    if (bytes > static_cast<size_t>(transfer.limits.maxBodyBytes - transfer.body.size())) {
        transfer.abort = Abort::BodyTooLarge;
        return 0;
    }
    transfer.body.append(data, static_cast<qsizetype>(bytes));
    return bytes;
}

// libcurl bounds each header line, not their number; this bounds them all together.
size_t OnHeader(char* /*data*/, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    transfer.headerBytes += static_cast<qsizetype>(bytes);
    if (transfer.headerBytes > transfer.limits.maxHeaderBytes) {
        transfer.abort = Abort::HeadersTooLarge;
        return 0;
    }
    return bytes;
}

bool IsWebScheme(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

HttpResult Failure(long status, QString error) {
    HttpResult result;
    result.status = status;
    result.error = std::move(error);
    return result;
}

} // namespace

void InitNetwork() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpResult HttpGet(const QString& address, const HttpLimits& limits) {
    InitNetwork();
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !IsWebScheme(url))
        return Failure(0, QStringLiteral("not an http or https address: %1").arg(address));

    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> handle(curl_easy_init(), &curl_easy_cleanup);
    if (!handle)
        return Failure(0, QStringLiteral("libcurl could not be initialised"));
    CURL* curl = handle.get();
    Transfer transfer{curl, limits, {}, 0, Abort::None};
    char errorText[CURL_ERROR_SIZE] = {};
    const QByteArray encoded = url.toEncoded();

    curl_easy_setopt(curl, CURLOPT_URL, encoded.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_PROXY_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_PROXY_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytesPerSecond);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.lowSpeedTime.count()));
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBodyBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    // Not set on purpose: CURLOPT_ACCEPT_ENCODING (no compressed bodies to inflate), CURLOPT_USERAGENT,
    // cookies, HSTS and alt-svc caches: the request carries nothing of ours and leaves nothing behind.

    const CURLcode code = curl_easy_perform(curl);
    const long status = ResponseCode(curl);
    switch (transfer.abort) {
    case Abort::NotOk:
        break; // reported by the status below
    case Abort::BodyTooLarge:
        return Failure(status, QStringLiteral("the response is longer than %1 bytes").arg(limits.maxBodyBytes));
    case Abort::HeadersTooLarge:
        return Failure(status, QStringLiteral("the response headers are longer than %1 bytes").arg(limits.maxHeaderBytes));
    case Abort::None:
        if (code == CURLE_FILESIZE_EXCEEDED)
            return Failure(status, QStringLiteral("the response is longer than %1 bytes").arg(limits.maxBodyBytes));
        if (code != CURLE_OK)
            return Failure(status, QString::fromUtf8(errorText[0] != '\0' ? errorText : curl_easy_strerror(code)));
        break;
    }
    if (status >= 300 && status < 400)
        return Failure(status, QStringLiteral("HTTP status %1: a redirect, not followed").arg(status));
    if (status != 200)
        return Failure(status, QStringLiteral("HTTP status %1").arg(status));
    HttpResult result;
    result.ok = true;
    result.status = status;
    result.body = std::move(transfer.body);
    return result;
}

} // namespace kelvane
