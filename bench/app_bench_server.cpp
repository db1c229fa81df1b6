// Serves the download benchmark's note pages and pictures from a loopback nginx until its
// standard input closes: app_bench_server <work directory>.
//   note100.html: 100 pictures of 200 KiB      note20.html: 20 pictures of 8 MiB
//   note1.html:   1 picture of 8 MiB           note0.html:  1 picture of 1 KiB (baseline)
// Writes <work>/curl100.cfg, a curl config fetching the same 100 picture addresses the job
// requests into <work>/curl/, and prints "ready <note100> <note20> <note1> <note0>".
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "quorvane/testing/nginx_server.h"

namespace {

std::string Bytes(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned state = seed * 2654435761u + 1u;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 23);
  }
  return bytes;
}

std::string Element(const std::string& hostAndPath) {
  return "<i class=\"img\" style=\"background-image:url(" + hostAndPath + ".jpg)\"></i>\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <work directory>\n", argv[0]);
    return 2;
  }
  const std::string work = argv[1];
  quorvane::testing::NginxServer server;
  std::string error;
  if (!server.Start(quorvane::testing::NginxConfig{}, &error)) {
    std::fprintf(stderr, "nginx did not start: %s\n", error.c_str());
    return 1;
  }
  const std::string host = "//127.0.0.1:" + std::to_string(server.HttpPort());

  std::string page100 = "<html><body>\n", page20 = page100, page1 = page100, page0 = page100;
  std::ofstream curlConfig(work + "/curl100.cfg");
  const std::string small = Bytes(200 << 10, 1);
  for (int i = 1; i <= 100; ++i) {
    const std::string path = "/small/" + std::to_string(i);
    server.WriteFile(path.substr(1), small);
    page100 += Element(host + path);
    curlConfig << "url = \"http:" << host << path << "\"\noutput = \"" << work << "/curl/" << i
               << ".jpg\"\n";
  }
  const std::string large = Bytes(8 << 20, 2);
  for (int i = 1; i <= 20; ++i) {
    const std::string path = "/large/" + std::to_string(i);
    server.WriteFile(path.substr(1), large);
    page20 += Element(host + path);
  }
  page1 += Element(host + "/large/1");
  server.WriteFile("tiny/1", Bytes(1 << 10, 3));
  page0 += Element(host + "/tiny/1");
  server.WriteFile("note100.html", page100 + "</body></html>\n");
  server.WriteFile("note20.html", page20 + "</body></html>\n");
  server.WriteFile("note1.html", page1 + "</body></html>\n");
  server.WriteFile("note0.html", page0 + "</body></html>\n");
  curlConfig.close();

  std::cout << "ready " << server.HttpUrl("/note100.html") << " " << server.HttpUrl("/note20.html")
            << " " << server.HttpUrl("/note1.html") << " " << server.HttpUrl("/note0.html")
            << std::endl;
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  return 0;
}
