#include "launcher/http_client.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>

#include "local_server.h"

namespace varnel_http {
namespace {

using launcher_test::LocalServer;
using Fields = std::map<std::string, std::string>;

class HttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.ready()) << "local test server did not start"; }

  // Requests the server has seen so far (the question itself not counted).
  int RequestsSeen() {
    HttpClient probe;
    EXPECT_TRUE(probe.Request("GET", server_.HttpUrl("/requests"), {}));
    return std::stoi(probe.response_body());
  }

  LocalServer server_;
  HttpClient client_;
};

TEST_F(HttpClientTest, SendsTheFixedHeadersAndASortedFormBodyWithTrailingAmpersand) {
  ASSERT_TRUE(client_.Request("POST", server_.HttpUrl("/echo"), Fields{{"b", "2"}, {"a", "1"}}));
  EXPECT_EQ(client_.response_body(),
            "method=POST\n"
            "ua=VarnelEnglish/2.5 (compatible; MSIE 8.0; Windows NT 5.1; CIBA)\n"
            "connection=Keep-Alive\n"
            "body=a=1&b=2&\n");
  EXPECT_EQ(client_.last_code(), 0);
  EXPECT_TRUE(client_.error_text().empty());
  EXPECT_EQ(BuildFormBody({}), "");
}

TEST_F(HttpClientTest, NothingOfOneRequestLeaksIntoTheNext) {
  ASSERT_TRUE(client_.Request("HEAD", server_.HttpUrl("/ok"), {}));
  ASSERT_TRUE(client_.Request("PUT", server_.HttpUrl("/echo"), Fields{{"k", "v"}}));
  ASSERT_TRUE(client_.Request("GET", server_.HttpUrl("/echo"), {}));
  EXPECT_NE(client_.response_body().find("method=GET\n"), std::string::npos);
  EXPECT_NE(client_.response_body().find("body=\n"), std::string::npos);
}

TEST_F(HttpClientTest, OnlyAFinal200IsSuccessAndOtherBodiesAreKept) {
  ASSERT_TRUE(client_.Request("GET", server_.HttpUrl("/redirect"), {}));
  EXPECT_EQ(client_.response_body(), "hello from ok");
  // Header lines of every hop, in order.
  const std::string& headers = client_.response_headers();
  const auto moved = headers.find("HTTP/1.1 302");
  ASSERT_NE(moved, std::string::npos);
  EXPECT_NE(headers.find("HTTP/1.1 200", moved), std::string::npos);
  EXPECT_NE(headers.find("\r\n"), std::string::npos);

  for (int status : {204, 304}) {
    EXPECT_FALSE(client_.Request("GET", server_.HttpUrl("/status/" + std::to_string(status)), {}));
    EXPECT_EQ(client_.last_code(), 0) << status;
  }
  EXPECT_FALSE(client_.Request("GET", server_.HttpUrl("/status/404"), {}));
  EXPECT_EQ(client_.last_code(), 0);
  EXPECT_EQ(client_.response_body(), "status body 404");
}

TEST_F(HttpClientTest, OnlyTheExactWordHeadAsksForHeadersAlone) {
  ASSERT_TRUE(client_.Request("HEAD", server_.HttpUrl("/ok"), {}));
  EXPECT_EQ(client_.response_body().rfind("HTTP/1.1 200", 0), 0u);
  EXPECT_EQ(client_.response_body(), client_.response_headers());

  for (const char* word : {"head", "HEADER"}) {
    ASSERT_TRUE(client_.Request(word, server_.HttpUrl("/echo"), {})) << word;
    EXPECT_EQ(client_.response_body().rfind(std::string("method=") + word + "\n", 0), 0u) << word;
  }
}

TEST_F(HttpClientTest, CertificatesAreIgnoredExactlyWhenTheUrlSaysHttps) {
  ASSERT_TRUE(client_.Request("GET", server_.HttpsUrl("/ok"), {}));
  EXPECT_EQ(client_.response_body(), "hello from ok");

  // The same self-signed server, reached by a redirect: only the word in the
  // original URL decides.
  EXPECT_FALSE(client_.Request("GET", server_.HttpUrl("/redirect-secure"), {}));
  EXPECT_EQ(client_.last_code(), CURLE_PEER_FAILED_VERIFICATION);
  EXPECT_TRUE(client_.Request("GET", server_.HttpUrl("/redirect-secure?via=https"), {}));

  std::string upper = server_.HttpsUrl("/ok");
  upper.replace(0, 5, "HTTPS");
  EXPECT_FALSE(client_.Request("GET", upper, {}));
  EXPECT_EQ(client_.last_code(), CURLE_PEER_FAILED_VERIFICATION);
}

TEST_F(HttpClientTest, GzipRepliesArriveDecoded) {
  ASSERT_TRUE(client_.Request("GET", server_.HttpUrl("/gzip"), {}));
  std::string expected;
  for (int i = 0; i < 100; ++i) expected += "decoded gzip text ";
  EXPECT_EQ(client_.response_body(), expected);
}

TEST_F(HttpClientTest, SilentServersAndCutBodiesFailWithTheTimeOutAfterFiveSeconds) {
  // Both run at once so the test waits for one time limit, not two.
  auto timed = [this](const std::string& path) {
    HttpClient client;
    const auto begin = std::chrono::steady_clock::now();
    const bool ok = client.Request("GET", server_.HttpUrl(path), {});
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return std::make_tuple(ok, client.last_code(), seconds);
  };
  auto silent = std::async(std::launch::async, timed, "/hang");
  auto cut = std::async(std::launch::async, timed, "/stall-body");
  for (auto* result : {&silent, &cut}) {
    const auto [ok, code, seconds] = result->get();
    EXPECT_FALSE(ok);  // a 200 whose body never completed is no success
    EXPECT_EQ(code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_GE(seconds, 4.5);
    EXPECT_LT(seconds, 9.0);
  }
}

TEST_F(HttpClientTest, EndlessRepliesStopAtTheMemoryCap) {
  EXPECT_FALSE(client_.Request("GET", server_.HttpUrl("/endless"), {}));
  EXPECT_EQ(client_.last_code(), CURLE_WRITE_ERROR);
  EXPECT_LE(client_.response_body().size(), HttpClient::kMaxResponseBytes);
  EXPECT_GT(client_.response_body().size(), HttpClient::kMaxResponseBytes / 2);
}

TEST_F(HttpClientTest, UnusableUrlsAndMethodsFailWithoutReachingTheServer) {
  const std::string ok = server_.HttpUrl("/ok");
  const std::string cases[][2] = {
      {"GET", ""},
      {"GET", ok + "\r\nX-Injected: 1"},
      {"GET", ok + std::string("\0tail", 5)},
      {"GET", ok + "\x7f"},
      {"GET\r\nX-Injected: 1\r\n", ok},
      {"", ok},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(client_.Request(c[0], c[1], {}));
    EXPECT_EQ(client_.last_code(), CURLE_URL_MALFORMAT);
    EXPECT_TRUE(client_.response_body().empty());
  }
  EXPECT_EQ(RequestsSeen(), 0);
  // The client stays usable.
  EXPECT_TRUE(client_.Request("GET", ok, {}));
}

TEST_F(HttpClientTest, RefusedConnectionsAndForeignSchemesFailWithTheLibraryCode) {
  int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(probe, reinterpret_cast<sockaddr*>(&address), length), 0);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  close(probe);  // nobody listens on this port now
  const std::string closed = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/ok";
  EXPECT_FALSE(client_.Request("GET", closed, {}));
  EXPECT_EQ(client_.last_code(), CURLE_COULDNT_CONNECT);

  EXPECT_FALSE(client_.Request("GET", "file:///etc/hostname", {}));
  EXPECT_EQ(client_.last_code(), CURLE_UNSUPPORTED_PROTOCOL);
  EXPECT_TRUE(client_.response_body().empty());
}

}  // namespace
}  // namespace varnel_http
