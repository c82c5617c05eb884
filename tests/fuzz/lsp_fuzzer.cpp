// libFuzzer target: the language server fed a raw byte stream, as an editor's pipe would carry
// it. Analysis runs at once, without the worker thread. Besides not crashing, every message the
// server sends must serialise, and exit must report a status of 0 or 1.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string_view>

#include <nlohmann/json.hpp>

#include "bin/tolu_lsp/framing.h"
#include "bin/tolu_lsp/server.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolu::lsp;
  std::ostringstream log;
  Server server(
      [](std::string_view message) {
        if (!nlohmann::json::accept(message)) std::abort();
      },
      log, {.background = false, .max_documents = 16});
  FrameReader reader(std::size_t{1} << 20);
  // The stream arrives in two pieces, cut where its first byte says.
  const std::string_view stream(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = size == 0 ? 0 : static_cast<unsigned char>(stream[0]) % (size + 1);
  for (const std::string_view piece : {stream.substr(0, cut), stream.substr(cut)}) {
    reader.feed(piece);
    deliver_frames(reader, server);
    if (server.exited()) break;
  }
  const int status = server.exit_status();
  if (status != 0 && status != 1) std::abort();
  return 0;
}
