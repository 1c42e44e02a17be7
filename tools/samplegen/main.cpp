// samplegen: writes the event logs of a sample machine from its description.
//
//   samplegen <description.txt> <out-machine-folder> [<message library>]
//
// The output folder gets logs/<name>.evt for every log described and the files of the
// description's machine folder (registry.reg, machine.ini). A message library given as well
// (qbsample.dll from a MinGW build) is copied to files/C/Windows/System32/, where the sample
// registry expects it; without it the records show their fallback texts. A description of
// Windows Vista or later (os 6 and up) gives .evtx logs, the registry export and the
// providers' libraries instead.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "description.h"
#include "generator.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::cerr << "usage: samplegen <description.txt> <out-machine-folder> [<message library>]\n";
    return 2;
  }
  const fs::path descriptionPath = argv[1];
  const fs::path out = argv[2];
  std::ifstream in(descriptionPath, std::ios::binary);
  if (!in) {
    std::cerr << "samplegen: cannot read " << descriptionPath.string() << "\n";
    return 1;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string error;
  const auto description = qb::samplegen::ParseDescription(text, &error);
  if (!description) {
    std::cerr << "samplegen: " << descriptionPath.string() << ": " << error << "\n";
    return 1;
  }
  error = qb::samplegen::WriteMachineFolder(*description, descriptionPath.parent_path(), out);
  if (error.empty() && argc == 4) {
    const fs::path library = argv[3];
    const fs::path folder = out / "files" / "C" / "Windows" / "System32";
    std::error_code failure;
    fs::create_directories(folder, failure);
    fs::copy_file(library, folder / library.filename(), fs::copy_options::overwrite_existing,
                  failure);
    if (failure) error = "cannot copy " + library.string() + ": " + failure.message();
  }
  if (!error.empty()) {
    std::cerr << "samplegen: " << error << "\n";
    return 1;
  }
  std::size_t records = 0;
  for (const auto& log : description->logs) records += log.records;
  std::cout << "samplegen: " << description->logs.size() << " logs, " << records
            << " records written to " << out.string() << "\n";
  return 0;
}
