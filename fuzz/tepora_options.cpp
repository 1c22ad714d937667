// tepora's option parser on arbitrary argument vectors.  Every word lies in
// its own guarded buffer that ends with its terminator, so that reading
// past a word faults.  The parser leaves the words alone, answers the same
// twice, and what it accepts is a run the solver can carry out.
#include <memory>
#include <string>
#include <vector>

#include "guarded.hpp"

extern "C" {
#include "tepora_options.h"
}

namespace {
constexpr size_t max_words = 64;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  // Words are separated by NUL bytes; argv[0] is the program's name.
  std::vector<std::string> words{"tepora"};
  std::string w;
  for (size_t i = 0; i < size && words.size() < max_words; i++) {
    if (data[i]) {
      w += char(data[i]);
      continue;
    }
    words.push_back(w);
    w.clear();
  }
  if (!w.empty() && words.size() < max_words)
    words.push_back(w);

  std::vector<std::unique_ptr<fuzz::guarded>> mem;
  std::vector<char*> argv;
  for (const std::string& word : words) {
    mem.emplace_back(new fuzz::guarded(word.size() + 1));
    std::memcpy(mem.back()->data, word.c_str(), word.size() + 1);
    argv.push_back(reinterpret_cast<char*>(mem.back()->data));
  }
  argv.push_back(nullptr);
  const int argc = int(words.size());

  tepora_options o, again;
  const int rc = tepora_parse(&o, argc, argv.data());
  FUZZ_CHECK(rc == 0 || rc == 1);
  FUZZ_CHECK(tepora_parse(&again, argc, argv.data()) == rc);
  for (size_t i = 0; i < words.size(); i++)
    FUZZ_CHECK(std::memcmp(argv[i], words[i].c_str(), words[i].size() + 1) == 0);
  if (rc == 0) {
    FUZZ_CHECK(o.nx >= 1 && o.ny >= 1 && o.blocks >= 0);
    FUZZ_CHECK(o.iterate == 0 || o.iterate == 1);
    FUZZ_CHECK(o.compressed == 0 || o.compressed == 1);
    if (o.compressed)
      FUZZ_CHECK(o.rate >= 0); // +inf included, NaN not
    FUZZ_CHECK(o.nx == again.nx && o.ny == again.ny && o.nt == again.nt && o.blocks == again.blocks);
    FUZZ_CHECK(o.iterate == again.iterate && o.compressed == again.compressed);
    FUZZ_CHECK(std::memcmp(&o.rate, &again.rate, sizeof o.rate) == 0);
  }
  return 0;
}
