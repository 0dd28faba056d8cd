// The download benchmark's yardstick (run under wine64 by download.sh): the
// same byte ranges over the same number of connections as the segmented
// downloader, with nothing but blocking WinSock and WriteFile. A HEAD gives
// the length; the file is pre-sized; each connection sends one ranged GET,
// checks the status line and Content-Range, and streams the body through a
// 1 MiB buffer into its own handle on the file at the range's offset.
//   socket_baseline <http://host:port/path> <target> <connections>
// Prints: result=0|1 seconds=<wall> cpu_seconds=<user+kernel> peak_working_set=<bytes>
// clang-format off
#include "platform/windows_api.h"
#include "process_measures.h"
#include <ws2tcpip.h>
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/text.h"
#include "platform/unique_resource.h"

namespace {

constexpr size_t kBodyBuffer = 1024 * 1024;
constexpr size_t kMaxHeaderBytes = 16 * 1024;

struct SocketTraits {
  using Handle = SOCKET;
  static Handle Null() { return INVALID_SOCKET; }
  static bool IsValid(Handle s) { return s != INVALID_SOCKET; }
  static void Close(Handle s) { ::closesocket(s); }
};
using UniqueSocket = platform::UniqueResource<SocketTraits>;

struct Url {
  std::string host;
  std::string port = "80";
  std::string path = "/";
};

bool ParseUrl(const std::string& text, Url& url) {
  const std::string scheme = "http://";
  if (text.compare(0, scheme.size(), scheme) != 0) return false;
  const size_t authority_end = text.find('/', scheme.size());
  const std::string authority = text.substr(scheme.size(), authority_end - scheme.size());
  if (authority_end != std::string::npos) url.path = text.substr(authority_end);
  const size_t colon = authority.rfind(':');
  url.host = authority.substr(0, colon);
  if (colon != std::string::npos) url.port = authority.substr(colon + 1);
  return !url.host.empty();
}

UniqueSocket Connect(const Url& url) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(url.host.c_str(), url.port.c_str(), &hints, &found) != 0) return UniqueSocket();
  UniqueSocket s(::socket(found->ai_family, found->ai_socktype, found->ai_protocol));
  if (s && ::connect(s.Get(), found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0) s.Reset();
  ::freeaddrinfo(found);
  return s;
}

bool SendAll(SOCKET s, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    const int n = ::send(s, text.data() + sent, static_cast<int>(text.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// The value of header `name` (lower case, with the colon) in `head`, or empty.
std::string HeaderValue(const std::string& head, const std::string& name) {
  size_t line = head.find("\r\n");
  while (line != std::string::npos && line + 2 < head.size()) {
    const size_t start = line + 2;
    const size_t end = head.find("\r\n", start);
    std::string field = head.substr(start, end - start);
    for (char& c : field) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (field.compare(0, name.size(), name) == 0) {
      const size_t value = head.find_first_not_of(' ', start + name.size());
      return head.substr(value, end - value);
    }
    line = end;
  }
  return std::string();
}

// Reads up to the blank line; what came after it is the body's start.
bool ReadHead(SOCKET s, std::string& head, std::string& body_start) {
  char chunk[4096];
  std::string data;
  for (;;) {
    const size_t end = data.find("\r\n\r\n");
    if (end != std::string::npos) {
      head = data.substr(0, end + 2);
      body_start = data.substr(end + 4);
      return true;
    }
    if (data.size() > kMaxHeaderBytes) return false;
    const int n = ::recv(s, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    data.append(chunk, static_cast<size_t>(n));
  }
}

std::string Request(const char* method, const Url& url, const std::string& range) {
  std::string text = std::string(method) + " " + url.path + " HTTP/1.1\r\nHost: " + url.host + ":" + url.port +
                     "\r\nUser-Agent: socket_baseline\r\nAccept: */*\r\n";
  if (!range.empty()) text += "Range: bytes=" + range + "\r\n";
  return text + "\r\n";
}

long long ProbeLength(const Url& url) {
  const UniqueSocket s = Connect(url);
  std::string head, rest;
  if (!s || !SendAll(s.Get(), Request("HEAD", url, "")) || !ReadHead(s.Get(), head, rest)) return -1;
  if (head.compare(0, 12, "HTTP/1.1 200") != 0) return -1;
  return std::strtoll(HeaderValue(head, "content-length:").c_str(), nullptr, 10);
}

bool WriteAll(HANDLE file, const char* data, size_t bytes) {
  DWORD written = 0;
  return ::WriteFile(file, data, static_cast<DWORD>(bytes), &written, nullptr) && written == bytes;
}

bool FetchRange(const Url& url, const std::wstring& target, long long first, long long last, long long total) {
  platform::UniqueHandle file(::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER offset{};
  offset.QuadPart = first;
  if (!file || !::SetFilePointerEx(file.Get(), offset, nullptr, FILE_BEGIN)) return false;
  const UniqueSocket s = Connect(url);
  const std::string range = std::to_string(first) + "-" + std::to_string(last);
  std::string head, body;
  if (!s || !SendAll(s.Get(), Request("GET", url, range)) || !ReadHead(s.Get(), head, body)) return false;
  if (head.compare(0, 12, "HTTP/1.1 206") != 0 ||
      HeaderValue(head, "content-range:") != "bytes " + range + "/" + std::to_string(total)) {
    return false;
  }
  long long left = last - first + 1;
  if (static_cast<long long>(body.size()) > left) return false;
  if (!WriteAll(file.Get(), body.data(), body.size())) return false;
  left -= static_cast<long long>(body.size());
  std::vector<char> buffer(kBodyBuffer);
  while (left > 0) {
    const int wanted = static_cast<int>(left < static_cast<long long>(buffer.size()) ? left : buffer.size());
    const int n = ::recv(s.Get(), buffer.data(), wanted, 0);
    if (n <= 0 || !WriteAll(file.Get(), buffer.data(), static_cast<size_t>(n))) return false;
    left -= n;
  }
  return true;
}

bool Download(const Url& url, const std::wstring& target, int connections) {
  const long long length = ProbeLength(url);
  if (length <= 0 || connections < 1) return false;
  {
    platform::UniqueHandle file(
        ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER end{};
    end.QuadPart = length;
    if (!file || !::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get())) {
      return false;
    }
  }
  // The same split as the downloader's: equal parts, the rest to the last.
  const long long block = length / connections;
  std::vector<char> ok(static_cast<size_t>(connections), 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < connections; ++i) {
    const long long first = i * block;
    const long long last = i == connections - 1 ? length - 1 : (i + 1) * block - 1;
    threads.emplace_back(
        [&, i, first, last] { ok[static_cast<size_t>(i)] = FetchRange(url, target, first, last, length); });
  }
  for (std::thread& thread : threads) thread.join();
  for (char each : ok) {
    if (!each) return false;
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Url url;
  if (argc != 4 || !ParseUrl(platform::WideToUtf8(argv[1]), url)) {
    std::fprintf(stderr, "usage: socket_baseline <http://host:port/path> <target> <connections>\n");
    return 2;
  }
  WSADATA wsa;
  if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
  LARGE_INTEGER start, now, frequency;
  ::QueryPerformanceCounter(&start);
  const bool ok = Download(url, argv[2], static_cast<int>(std::wcstol(argv[3], nullptr, 10)));
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  std::printf("result=%d seconds=%.3f cpu_seconds=%.3f peak_working_set=%llu\n", ok ? 0 : 1,
              static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart),
              bench::ProcessCpuSeconds(), bench::PeakWorkingSetBytes());
  ::WSACleanup();
  return ok ? 0 : 1;
}
