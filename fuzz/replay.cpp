// Runs a fuzz target over files and directories of inputs, for builds
// without libFuzzer: every committed corpus replays in the test suite.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int run_file(const std::string& path)
{
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    return 1;
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(f);
  // An exact-size heap copy, so that the sanitizers see overreads of the
  // input itself.
  uint8_t* copy = new uint8_t[bytes.size() ? bytes.size() : 1];
  std::copy(bytes.begin(), bytes.end(), copy);
  LLVMFuzzerTestOneInput(copy, bytes.size());
  delete[] copy;
  return 0;
}

int run(const std::string& path, size_t& count)
{
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    std::fprintf(stderr, "no such input: %s\n", path.c_str());
    return 1;
  }
  if (!S_ISDIR(st.st_mode)) {
    count++;
    return run_file(path);
  }
  DIR* dir = opendir(path.c_str());
  if (!dir)
    return 1;
  std::vector<std::string> names;
  while (dirent* e = readdir(dir))
    if (e->d_name[0] != '.')
      names.push_back(e->d_name);
  closedir(dir);
  std::sort(names.begin(), names.end());
  int status = 0;
  for (const std::string& name : names)
    status |= run(path + "/" + name, count);
  return status;
}

} // namespace

int main(int argc, char* argv[])
{
  LLVMFuzzerInitialize(&argc, &argv);
  int status = 0;
  size_t count = 0;
  // Words beginning with '-' are flags, for LLVMFuzzerInitialize.
  for (int i = 1; i < argc; i++)
    if (argv[i][0] != '-')
      status |= run(argv[i], count);
  // An empty corpus is a mistake in the build, not a pass.
  if (count == 0) {
    std::fprintf(stderr, "no inputs\n");
    return 1;
  }
  std::printf("%zu inputs\n", count);
  return status;
}
