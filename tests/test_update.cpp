// The version check against servers this test starts on 127.0.0.1: well-behaved, redirecting,
// failing, silent, dripping, oversized and garbled answers; the version texts and their comparison;
// the download question; kelvanectl version.

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <array>
#include <chrono>
#include <cstdlib>
#include <future>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "tests/support/LocalServer.h"
#include "update/PublisherUrls.h"
#include "update/VersionText.h"
#include "update/VersionUpdate.h"

#ifdef KELVANE_TEST_TLS
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#endif

using namespace kelvane;
using kelvane::test::LocalServer;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// No proxy from the environment may carry a test's request off this machine.
const bool proxiesCleared = [] {
    for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
        ::unsetenv(name);
    return true;
}();

const QString kLatest = QStringLiteral("Latest Version Available:");
const QString kUnknown = QStringLiteral("unknown");
const QString kOwn = QStringLiteral("2.0.0.5");

std::string Response(std::string_view status, std::string_view body, std::string_view headers = {}) {
    return "HTTP/1.1 " + std::string(status) + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
           std::string(headers) + "Connection: close\r\n\r\n" + std::string(body);
}

std::string Chunked(const std::vector<std::string>& chunks) {
    std::string text = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    char size[32];
    for (const std::string& chunk : chunks) {
        std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
        text += size + chunk + "\r\n";
    }
    return text + "0\r\n\r\n";
}

// A handler that answers every request with `response`, and "/new" (a redirect target) with 99.0.0.0.
LocalServer::Handler Answer(std::string response) {
    return [response](LocalServer::Connection& c) {
        const std::string request = c.ReadRequest();
        c.Send(request.rfind("GET /new ", 0) == 0 ? Response("200 OK", "99.0.0.0") : response);
    };
}

// 200 KB of short header lines, each well within what libcurl allows for one.
std::string HeaderFlood() {
    std::string lines;
    for (int i = 0; i < 2000; ++i)
        lines += "X-Pad-" + std::to_string(i) + ": " + std::string(90, 'y') + "\r\n";
    return lines;
}

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace

TEST(VersionText, ParsesFourNumbers) {
    struct Case {
        const char* text;
        VersionNumbers expected;
    };
    const Case cases[] = {
        {"2.5.0.1", {2, 5, 0, 1}},
        {"2.5", {2, 5, 0, 0}},
        {"Unknown version", {0, 0, 0, 0}},
        {"", {0, 0, 0, 0}},
        {"2.5.0.1\r\nfurther text", {2, 5, 0, 1}},
        {" \t\r\n3.1 4 1.5 9", {3, 1, 4, 1}},
        {"1.2.3.4.5", {1, 2, 3, 4}},
        {"2..5", {2, 0, 5, 0}},
        {"2.x.3.4", {2, 0, 3, 4}},
        {"2.5.0.1beta", {2, 5, 0, 0}},
        {"v2.5", {0, 5, 0, 0}},
        {"-1.+2", {-1, 2, 0, 0}},
        {"9223372036854775807.9223372036854775808", {9223372036854775807, 0, 0, 0}},
        {"0010.0x10", {10, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseVersionText(QString::fromUtf8(c.text)), c.expected);
    }
}

TEST(VersionText, ComparesNumberByNumberFirstPartFirst) {
    struct Case {
        const char* own;
        const char* fetched;
        bool newer;
    };
    const Case cases[] = {
        {"2.0.0.5", "2.0.1.0", true},
        {"2.0.0.5", "2.0.0.5", false},
        {"2.0.0.5", "1.9.9.9", false},
        {"2.0.0.5", "2.0.0.10", true}, // numbers, not letters
        {"10.0.0.0", "9.9.9.9", false},
        {"2.0.0.5", "3", true},
        {"2.0.0.5", "", false},
        {"Unknown version", "0.0.0.1", true},
        {"Unknown version", "Unknown version", false},
        {"Unknown version", "", false},
        {"0.1.0", "0.1.0.0", false},
        {"2.0.0.5", "2.0.0.5\r\n9.9.9.9", false}, // only the first four parts count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.own) + " / " + c.fetched);
        EXPECT_EQ(IsNewerVersion(QString::fromUtf8(c.own), QString::fromUtf8(c.fetched)), c.newer);
    }
}

TEST(VersionText, SanitizesWhatTheServerSent) {
    struct Case {
        std::string body;
        QString expected;
    };
    const Case cases[] = {
        {"2.5.0.1\r\nfurther text", QStringLiteral("2.5.0.1\r\nfurther text")},
        {"\xEF\xBB\xBF" "2.5.0.1", QStringLiteral("2.5.0.1")},
        {"\xEF\xBB\xBF\xEF\xBB\xBF" "2.\xEF\xBB\xBF" "5", QStringLiteral("2.5")}, // invisible elsewhere too
        {std::string("2.5\0.0.1\0", 10), QStringLiteral("2.5.0.1")},
        {"2.5\x01\x07\x1B[31m\x7F", QStringLiteral("2.5[31m")},
        {"2.5\tbeta", QStringLiteral("2.5 beta")},
        {"caf\xC3\xA9 \xE2\x82\xAC", QStringLiteral("caf\u00E9 \u20AC")},
        {"2.5 \xFF\xFE x", QStringLiteral("2.5 \uFFFD\uFFFD x")},
        {"\xC0\xAF", QStringLiteral("\uFFFD\uFFFD")},          // overlong "/"
        {"\xED\xA0\x80", QStringLiteral("\uFFFD\uFFFD\uFFFD")}, // an encoded surrogate
        {"2.5\xC3", QStringLiteral("2.5\uFFFD")},               // cut in the middle of a character
        {"\xC2\x85\xC2\x9B" "2", QStringLiteral("2")},          // C1 controls
        {"\xE2\x80\xAE" "1.0\xE2\x81\xA6", QStringLiteral("1.0")}, // bidi override and isolate
        {"", QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        EXPECT_EQ(SanitizeFetchedText(QByteArray::fromStdString(c.body)), c.expected);
    }
}

// What each answer of the server gives: the fetch, the caption and the comparison with 2.0.0.5.
TEST(VersionFetch, EachAnswerGivesItsCaptionAndComparison) {
    const std::string bigBody(10 * 1024 * 1024, '9');
    const std::string capBody = "3.0.0.0" + std::string(64 * 1024 - 7, ' ');
    struct Case {
        const char* name;
        std::string response;
        bool ok;
        QString text;
        bool newer;
    };
    const Case cases[] = {
        {"200 with further text", Response("200 OK", "2.5.0.1\r\nfurther text"), true,
         QStringLiteral("2.5.0.1\r\nfurther text"), true},
        {"200 not newer", Response("200 OK", "1.9.9.9"), true, QStringLiteral("1.9.9.9"), false},
        {"BOM", Response("200 OK", "\xEF\xBB\xBF" "2.6.0.0\n"), true, QStringLiteral("2.6.0.0\n"), true},
        {"NUL bytes", Response("200 OK", std::string("2.7\0.0.0", 8)), true, QStringLiteral("2.7.0.0"), true},
        {"invalid UTF-8", Response("200 OK", "2.8.0.0 \xFF\xC3"), true, QStringLiteral("2.8.0.0 \uFFFD\uFFFD"), true},
        {"empty body", Response("200 OK", ""), true, QString(), false},
        {"HTTP/1.0 without length", "HTTP/1.0 200 OK\r\n\r\n2.9.0.0", true, QStringLiteral("2.9.0.0"), true},
        {"chunked within the cap", Chunked({"3.1.", "0.0"}), true, QStringLiteral("3.1.0.0"), true},
        {"exactly 64 KiB", Response("200 OK", capBody), true, Q(capBody), true},
        {"64 KiB without length", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + capBody, true, Q(capBody), true},
        {"301", Response("301 Moved Permanently", "", "Location: /new\r\n"), false, {}, false},
        {"302", Response("302 Found", "", "Location: /new\r\n"), false, {}, false},
        {"302 to file", Response("302 Found", "", "Location: file:///etc/hostname\r\n"), false, {}, false},
        {"404", Response("404 Not Found", "99.0.0.0"), false, {}, false},
        {"500", Response("500 Internal Server Error", "99.0.0.0"), false, {}, false},
        {"204", "HTTP/1.1 204 No Content\r\n\r\n", false, {}, false},
        {"one byte past the cap", Response("200 OK", capBody + "1"), false, {}, false},
        {"past the cap without length", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + capBody + "1", false, {}, false},
        {"10 MB", Response("200 OK", bigBody), false, {}, false},
        {"10 MB without length", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + bigBody, false, {}, false},
        {"chunked past the cap", Chunked(std::vector<std::string>(100, std::string(1000, '9'))), false, {}, false},
        {"shorter than its length", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n9.0", false, {}, false},
        {"endless headers", "HTTP/1.1 200 OK\r\n" + HeaderFlood() + "\r\n2.0", false, {}, false},
        {"not HTTP", "SSH-2.0-OpenSSH_9.2\r\n99.0.0.0\r\n", false, {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalServer server(Answer(c.response));
        const auto start = Clock::now();
        const VersionFetch fetch = FetchVersionText(QString::fromStdString(server.Url()));
        EXPECT_LT(SecondsSince(start), 2.0);
        EXPECT_EQ(fetch.ok, c.ok) << fetch.error.toStdString();
        EXPECT_EQ(fetch.text, c.text);
        EXPECT_EQ(fetch.error.isEmpty(), c.ok);
        const QString caption = VersionMenuCaption(fetch, kLatest, kUnknown);
        EXPECT_EQ(caption, kLatest + u' ' + (c.ok && !c.text.trimmed().isEmpty() ? c.text : kUnknown));
        EXPECT_EQ(IsNewerVersion(kOwn, fetch.text), c.newer);
        EXPECT_EQ(server.Connections(), 1); // never a second request, never a followed redirect
    }
}

// A server that resets, never answers, drips or trickles: each fetch fails within its bound.
TEST(VersionFetch, UnhelpfulServersEndWithinTheirTimeOuts) {
    HttpLimits shortTotal;
    shortTotal.totalTimeout = 2s;
    struct Case {
        const char* name;
        LocalServer::Handler handler;
        HttpLimits limits;
        double minSeconds, maxSeconds;
    };
    const Case cases[] = {
        {"reset after the request", [](LocalServer::Connection& c) { c.ReadRequest(); c.Reset(); }, {}, 0, 2},
        {"reset mid-body",
         [](LocalServer::Connection& c) {
             c.ReadRequest();
             c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n2.5");
             c.Reset();
         },
         {}, 0, 2},
        {"closes without a word", [](LocalServer::Connection&) {}, {}, 0, 2},
        // Nothing comes back: the low-speed limit (3 s) ends it before the total time-out.
        {"never answers", [](LocalServer::Connection& c) { c.WaitUntilClosed(); }, {}, 2.5, 5},
        {"drips a byte a second",
         [](LocalServer::Connection& c) {
             c.ReadRequest();
             c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
             while (c.Send("9") && c.Pause(1s)) {
             }
         },
         {}, 2.5, 5},
        // Fast enough for the low-speed limit, never done: the total time-out ends it.
        {"trickles forever",
         [](LocalServer::Connection& c) {
             c.ReadRequest();
             c.Send("HTTP/1.1 200 OK\r\nContent-Length: 60000\r\n\r\n");
             while (c.Send(std::string(100, '9')) && c.Pause(100ms)) {
             }
         },
         shortTotal, 1.9, 3.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalServer server(c.handler);
        const auto start = Clock::now();
        const VersionFetch fetch = FetchVersionText(QString::fromStdString(server.Url()), c.limits);
        const double seconds = SecondsSince(start);
        EXPECT_FALSE(fetch.ok);
        EXPECT_TRUE(fetch.text.isEmpty());
        EXPECT_FALSE(fetch.error.isEmpty());
        EXPECT_GE(seconds, c.minSeconds) << fetch.error.toStdString();
        EXPECT_LE(seconds, c.maxSeconds) << fetch.error.toStdString();
        EXPECT_EQ(VersionMenuCaption(fetch, kLatest, kUnknown), QStringLiteral("Latest Version Available: unknown"));
        EXPECT_FALSE(IsNewerVersion(kOwn, fetch.text));
    }
}

TEST(VersionFetch, AClosedPortFailsAtOnce) {
    const auto start = Clock::now();
    const VersionFetch fetch =
        FetchVersionText(QStringLiteral("http://127.0.0.1:%1/Kelvane/verdescription.txt").arg(test::ClosedPort()));
    EXPECT_FALSE(fetch.ok);
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_EQ(VersionMenuCaption(fetch, kLatest, kUnknown), QStringLiteral("Latest Version Available: unknown"));
}

// A host whose connection never completes, as when the network is gone: the listening socket's
// queue is full, so the kernel drops our handshake and the connect time-out (5 s) ends the wait.
TEST(VersionFetch, AnUnreachableServerHoldsNoLongerThanTheConnectTimeOut) {
    std::uint16_t port = 0;
    const int listener = test::BindLoopback(port);
    ASSERT_EQ(::listen(listener, 0), 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    std::vector<int> fillers;
    for (int i = 0; i < 2; ++i) { // what the queue holds, never accepted
        fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ::connect(fillers.back(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ::usleep(100000);
    const auto start = Clock::now();
    const VersionFetch fetch = FetchVersionText(QStringLiteral("http://127.0.0.1:%1/").arg(port));
    const double seconds = SecondsSince(start);
    for (const int fd : fillers)
        ::close(fd);
    ::close(listener);
    EXPECT_FALSE(fetch.ok);
    EXPECT_GE(seconds, 4.5) << fetch.error.toStdString();
    EXPECT_LE(seconds, 6.5) << fetch.error.toStdString();
    EXPECT_TRUE(fetch.error.contains(QLatin1String("Failed to connect"))) << fetch.error.toStdString();
}

TEST(VersionFetch, SendsOnePlainGetWithoutHeadersOfItsOwn) {
    LocalServer server(Answer(Response("200 OK", "2.5.0.1")));
    ASSERT_TRUE(FetchVersionText(QString::fromStdString(server.Url())).ok);
    ASSERT_EQ(server.Requests().size(), 1u);
    const QStringList lines = Q(server.Requests()[0]).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines[0], QStringLiteral("GET /Kelvane/verdescription.txt HTTP/1.1"));
    for (const QString& header : lines.mid(1)) {
        const QString name = header.section(u':', 0, 0).toLower();
        // Host is HTTP/1.1's own; "Accept: */*" is libcurl's fixed default and says nothing.
        EXPECT_TRUE(name == QLatin1String("host") || name == QLatin1String("accept")) << header.toStdString();
    }
}

TEST(VersionFetch, GoesThroughTheProxyOfTheEnvironment) {
    LocalServer proxy(Answer(Response("200 OK", "4.0.0.0")));
    ::setenv("http_proxy", proxy.Url("").c_str(), 1);
    const VersionFetch fetch = FetchVersionText(QStringLiteral("http://kelvane.example/Kelvane/verdescription.txt"));
    ::unsetenv("http_proxy");
    EXPECT_TRUE(fetch.ok) << fetch.error.toStdString();
    EXPECT_EQ(fetch.text, QStringLiteral("4.0.0.0"));
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(proxy.Requests()[0].rfind("GET http://kelvane.example/Kelvane/verdescription.txt HTTP/1.1\r\n", 0), 0u);
}

TEST(VersionFetch, OnlyHttpAndHttpsAddressesAreFetched) {
    LocalServer server(Answer(Response("200 OK", "9.0.0.0")));
    const QString port = QString::number(server.Port());
    const QString addresses[] = {
        QStringLiteral("file:///etc/hostname"),  QStringLiteral("ftp://127.0.0.1:") + port + u'/',
        QStringLiteral("gopher://127.0.0.1:") + port + u'/', QStringLiteral("dict://127.0.0.1:") + port + u'/',
        QStringLiteral("127.0.0.1:") + port + u'/', QStringLiteral("http:///nohost"), QString(),
    };
    for (const QString& address : addresses) {
        SCOPED_TRACE(address.toStdString());
        const VersionFetch fetch = FetchVersionText(address);
        EXPECT_FALSE(fetch.ok);
        EXPECT_TRUE(fetch.text.isEmpty());
    }
    EXPECT_EQ(server.Connections(), 0);
}

TEST(VersionFetch, IsSafeOnSeveralThreadsAtOnce) {
    LocalServer server(Answer(Response("200 OK", "2.5.0.1")));
    const QString url = QString::fromStdString(server.Url());
    InitNetwork();
    std::vector<std::future<VersionFetch>> fetches;
    for (int i = 0; i < 4; ++i)
        fetches.push_back(std::async(std::launch::async, [url] { return FetchVersionText(url); }));
    for (auto& fetch : fetches)
        EXPECT_EQ(fetch.get().text, QStringLiteral("2.5.0.1"));
    EXPECT_EQ(server.Connections(), 4);
}

#ifdef KELVANE_TEST_TLS
// An https server whose certificate nobody vouches for: the fetch must refuse it.
TEST(VersionFetch, RefusesACertificateThatIsNotTrusted) {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    ASSERT_NE(key, nullptr);
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    ASSERT_GT(X509_sign(cert, key, EVP_sha256()), 0);
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    ASSERT_EQ(SSL_CTX_use_certificate(context, cert), 1);
    ASSERT_EQ(SSL_CTX_use_PrivateKey(context, key), 1);

    std::atomic<bool> served{false};
    {
        LocalServer server([&](LocalServer::Connection& c) {
            SSL* ssl = SSL_new(context);
            SSL_set_fd(ssl, c.Fd());
            if (SSL_accept(ssl) == 1) {
                const std::string answer = Response("200 OK", "9.0.0.0");
                SSL_write(ssl, answer.data(), static_cast<int>(answer.size()));
                served = true;
            }
            SSL_free(ssl);
        });
        const VersionFetch fetch =
            FetchVersionText(QStringLiteral("https://127.0.0.1:%1/Kelvane/verdescription.txt").arg(server.Port()));
        EXPECT_FALSE(fetch.ok);
        EXPECT_TRUE(fetch.error.contains(QLatin1String("certificate"), Qt::CaseInsensitive)) << fetch.error.toStdString();
        EXPECT_EQ(server.Connections(), 1);
    }
    EXPECT_FALSE(served);
    SSL_CTX_free(context);
    X509_free(cert);
    EVP_PKEY_free(key);
}
#endif

TEST(VersionUpdate, FetchesOnceForCaptionComparisonAndDialog) {
    LocalServer server(Answer(Response("200 OK", "2.5.0.1\r\nfurther text")));
    TVersionUpdate update;
    update.URLVersionFile = QString::fromStdString(server.Url());
    update.OwnProduct = ProductTexts{kOwn, QStringLiteral("Process scheduler"), QStringLiteral("Norvik")};
    const VersionFetch fetch = update.Fetch();
    EXPECT_EQ(VersionMenuCaption(fetch, kLatest, kUnknown),
              QStringLiteral("Latest Version Available: 2.5.0.1\r\nfurther text"));
    EXPECT_TRUE(update.IsNewerVersionAvailable(fetch.text));
    QStringList asked;
    const VersionDialogHost host{[&](const QString& text, VersionQuestion) {
                                     asked << text;
                                     return false;
                                 },
                                 [](const QString&) {}};
    EXPECT_TRUE(update.IsNewerVersionAvailableDialog(fetch.text, host));
    EXPECT_EQ(server.Connections(), 1);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QLatin1String("Newer version: 2.5.0.1\r\nfurther text")));
    EXPECT_TRUE(update.IsNewerVersionAvailable()); // the component's own fetch
    EXPECT_EQ(server.Connections(), 2);
}

TEST(VersionUpdate, DialogAsksOneOfTwoQuestionsAndOpensTheDownloadPageOnYes) {
    struct Case {
        const char* name;
        ProductTexts own;
        QString fetched;
        bool answer;
        bool newer;
        QString message;
        VersionQuestion buttons;
        bool opened;
    };
    const ProductTexts norvik{kOwn, QStringLiteral("Process scheduler"), QStringLiteral("Norvik")};
    const QString offer = QStringLiteral("New version available for Norvik's Process scheduler\n"
                                         "Current version: 2.0.0.5\nNewer version: 2.0.1.0\n"
                                         "Do you want to download the update now?");
    const Case cases[] = {
        {"newer, Yes", norvik, QStringLiteral("2.0.1.0"), true, true, offer, VersionQuestion::YesNo, true},
        {"newer, No", norvik, QStringLiteral("2.0.1.0"), false, true, offer, VersionQuestion::YesNo, false},
        {"same", norvik, QStringLiteral("2.0.0.5"), true, false, QStringLiteral("No update available."),
         VersionQuestion::Ok, false},
        {"older", norvik, QStringLiteral("1.9.9.9"), true, false, QStringLiteral("No update available."),
         VersionQuestion::Ok, false},
        {"failed fetch", norvik, QString(), true, false, QStringLiteral("No update available."), VersionQuestion::Ok,
         false},
        {"no company, no description", {QStringLiteral("Unknown version"), {}, QStringLiteral(" \t")},
         QStringLiteral("0.0.0.1"), false, true,
         QStringLiteral("New version available for Kelvane\nCurrent version: Unknown version\n"
                        "Newer version: 0.0.0.1\nDo you want to download the update now?"),
         VersionQuestion::YesNo, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TVersionUpdate update;
        update.URLDownload = QStringLiteral("https://kelvane.example/Kelvane/download.html");
        update.OwnProduct = c.own;
        QStringList asked;
        std::vector<VersionQuestion> buttons;
        QStringList opened;
        const VersionDialogHost host{[&](const QString& text, VersionQuestion b) {
                                         asked << text;
                                         buttons.push_back(b);
                                         return c.answer;
                                     },
                                     [&](const QString& url) { opened << url; }};
        EXPECT_EQ(update.IsNewerVersionAvailableDialog(c.fetched, host), c.newer);
        EXPECT_EQ(asked, QStringList{c.message});
        ASSERT_EQ(buttons.size(), 1u);
        EXPECT_EQ(buttons[0], c.buttons);
        EXPECT_EQ(opened, c.opened ? QStringList{update.URLDownload} : QStringList{});
    }
}

TEST(PublisherUrls, MailLinkEscapesItsSubject) {
    EXPECT_EQ(MailLinkUrl(QStringLiteral("0.1.0 & more")),
              QStringLiteral("mailto:") + ContactMailAddress() + QStringLiteral("?subject=Kelvane%200.1.0%20%26%20more&body=%20"));
}

#ifdef KELVANECTL_PATH
namespace {

struct CtlRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CtlRun RunKelvanectl(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(KELVANECTL_PATH), args);
    process.waitForFinished(30000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

TEST(KelvanectlVersion, PrintsOwnAndLatestVersionAndWhetherItIsNewer) {
    LocalServer server(Answer(Response("200 OK", "99.0.0.0\r\nthe \\ release")));
    const CtlRun run = RunKelvanectl({QStringLiteral("version"), QStringLiteral("--url"), QString::fromStdString(server.Url())});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.split(u'\n');
    ASSERT_EQ(lines.size(), 4) << run.out.toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^own version: \\d+\\.\\d+")).match(lines[0]).hasMatch()) << run.out.toStdString();
    EXPECT_EQ(lines[1], QStringLiteral("latest version: 99.0.0.0\\r\\nthe \\\\ release"));
    EXPECT_EQ(lines[2], QStringLiteral("newer: yes"));
}

TEST(KelvanectlVersion, ExitsWithOneWhenTheFetchFails) {
    struct Case {
        std::string response;
        const char* latest;
        int exitCode;
    };
    const Case cases[] = {
        {Response("302 Found", "", "Location: /new\r\n"), "latest version: unknown", 1},
        {Response("404 Not Found", "99.0.0.0"), "latest version: unknown", 1},
        {Response("200 OK", "0.0.0.1"), "latest version: 0.0.0.1", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.latest);
        LocalServer server(Answer(c.response));
        const CtlRun run = RunKelvanectl({QStringLiteral("version"), QStringLiteral("--url"), QString::fromStdString(server.Url())});
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.out.contains(QLatin1String(c.latest) + u'\n')) << run.out.toStdString();
        EXPECT_TRUE(run.out.endsWith(QLatin1String("newer: no\n"))) << run.out.toStdString();
        EXPECT_EQ(run.err.isEmpty(), c.exitCode == 0) << run.err.toStdString();
    }
    EXPECT_EQ(RunKelvanectl({QStringLiteral("version"), QStringLiteral("--url")}).exitCode, 2);
}
#endif
