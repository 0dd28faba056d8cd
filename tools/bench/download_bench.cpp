// The benchmark's Windows side (run under wine64 by download.sh): one
// download with the segmented downloader, or one digest, timed in-process,
// with the process's CPU time (user + kernel) and peak working set at the end.
//   download_bench download <url> <target> <connections>
//   download_bench md5 <file>
//   download_bench sha256 <file>
// clang-format off
#include "platform/windows_api.h"
// clang-format on

#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/download_helper.h"
#include "net/file_digest.h"
#include "net/http_client.h"
#include "net/proxy_resolver.h"
#include "platform/text.h"
#include "process_measures.h"

namespace {

double Seconds(LARGE_INTEGER start) {
  LARGE_INTEGER now, frequency;
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  LARGE_INTEGER start;
  if (mode == L"download" && argc == 5) {
    net::InitializeTransfers();
    // The program starts the lookup of the user's proxy settings when it
    // starts, long before its first download: so does this, off the clock.
    (void)net::SystemProxy::ForRun()->ChooseFor("http://localhost/");
    net::CDownloadHelper helper;
    helper.SetTlsSettings(net::TlsSettingsFromConfig());
    ::QueryPerformanceCounter(&start);
    const net::DownloadOutcome outcome = helper.StartDownload(platform::WideToUtf8(argv[2]), argv[3], "",
                                                              std::wcstol(argv[4], nullptr, 10), nullptr, nullptr);
    const double seconds = Seconds(start);
    // result=0 for a complete file; otherwise the failure's stage and cause follow.
    std::printf("result=%d stage=%s cause=%s curl=%d seconds=%.3f cpu_seconds=%.3f bytes=%lld peak_working_set=%llu\n",
                outcome.Ok() ? 0 : 1, net::StageName(outcome.stage), net::CauseName(outcome.cause),
                static_cast<int>(outcome.curl_code), seconds, bench::ProcessCpuSeconds(),
                static_cast<long long>(helper.RemoteFileLength()), bench::PeakWorkingSetBytes());
    return outcome.Ok() ? 0 : 1;
  }
  if (mode == L"md5" && argc == 3) {
    ::QueryPerformanceCounter(&start);
    const std::string digest = net::FileMd5Hex(argv[2]);
    std::printf("md5=%s seconds=%.3f peak_working_set=%llu\n", digest.c_str(), Seconds(start),
                bench::PeakWorkingSetBytes());
    return digest.empty() ? 1 : 0;
  }
  if (mode == L"sha256" && argc == 3) {
    ::QueryPerformanceCounter(&start);
    const std::string digest = net::FileSha256Hex(argv[2]);
    std::printf("sha256=%s seconds=%.3f peak_working_set=%llu\n", digest.c_str(), Seconds(start),
                bench::PeakWorkingSetBytes());
    return digest.empty() ? 1 : 0;
  }
  std::fprintf(stderr, "usage: download_bench download <url> <target> <connections> | md5 <file> | sha256 <file>\n");
  return 2;
}
