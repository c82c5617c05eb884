// generate_corpus SEED BYTES FILE       one file of about BYTES bytes
// generate_corpus SEED BYTES DIR COUNT  COUNT files of about BYTES bytes each, in subfolders
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "corpus.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::cerr << "usage: generate_corpus SEED BYTES FILE | generate_corpus SEED BYTES DIR COUNT\n";
    return 2;
  }
  const std::uint64_t seed = std::strtoull(argv[1], nullptr, 10);
  const std::size_t bytes = std::strtoull(argv[2], nullptr, 10);
  if (argc == 4) {
    std::ofstream(argv[3], std::ios::binary) << tolu::bench::generate_corpus(seed, bytes);
    return 0;
  }
  const std::filesystem::path dir = argv[3];
  const std::size_t count = std::strtoull(argv[4], nullptr, 10);
  for (std::size_t i = 0; i < count; ++i) {
    const auto folder = dir / ("part" + std::to_string(i / 100));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / ("file" + std::to_string(i) + ".tos"), std::ios::binary)
        << tolu::bench::generate_corpus(seed + i, bytes);
  }
  return 0;
}
