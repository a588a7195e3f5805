#pragma once
// One bounded HTTP GET over libcurl, for a small text file from a server we do not trust: a plain
// HTTP/1.1 request with no headers of our own, redirects not followed, http and https only, TLS
// certificates verified, proxies from the usual environment variables (http_proxy, https_proxy,
// all_proxy, no_proxy), only status 200 counted as success, the body capped, and every phase
// bounded in time. Thread-safe: each call uses its own handle and no signals.

#include <QByteArray>
#include <QString>
#include <chrono>

namespace kelvane {

// The bounds of one request. The defaults are the real ones; tests shorten them.
struct HttpLimits {
    std::chrono::milliseconds connectTimeout{5000}; // name resolution, TCP and TLS handshake
    std::chrono::milliseconds totalTimeout{10000};  // the whole request
    long lowSpeedBytesPerSecond = 64;               // slower than this ...
    std::chrono::seconds lowSpeedTime{3};           // ... for this long ends the request
    qsizetype maxBodyBytes = 64 * 1024;             // a longer body is a failure
    qsizetype maxHeaderBytes = 64 * 1024;           // all response header lines together
};

struct HttpResult {
    bool ok = false;  // status 200 and a body within the cap
    long status = 0;  // the response's status code, 0 when none arrived
    QByteArray body;  // the raw body, only when ok
    QString error;    // why it failed, for logs and kelvanectl; empty when ok
};

// Initialises libcurl once for the process (curl_global_init). Call it at program start, before
// any thread fetches; HttpGet calls it too, so forgetting it is harmless in a single thread.
void InitNetwork();

HttpResult HttpGet(const QString& url, const HttpLimits& limits = {});

} // namespace kelvane
