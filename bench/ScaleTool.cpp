// The fixtures and checks of bench/scale-bench.sh, from the tests' own support:
//   bench_scale_tool sparse FILE FRAMES
//       an uncompressed video-only AVI of FRAMES 512 x 512 pictures of 1 MiB whose data are
//       holes (large on paper, small on disk), 25 per second
//   bench_scale_tool project FILE LIST
//       a project of the files named in LIST, one per line
//   bench_scale_tool peers FILE PICTURES
//       every peer reads FILE whole: PICTURES pictures at 25 per second, no sound; prints what
//       each found wrong and exits with 1 when one did
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "core/ProjectText.h"
#include "support/JoinCheck.h"
#include "support/PeerCheck.h"

int main(int argc, char** argv) {
  const std::string command = argc == 4 ? argv[1] : "";
  try {
    if (command == "sparse") {
      rw::test::MakeSparseRawAVI(argv[2], std::atoi(argv[3]));
      return 0;
    }
    if (command == "project") {
      std::ifstream list(argv[3]);
      std::vector<std::string> files;
      for (std::string line; std::getline(list, line);) files.push_back(line);
      rw::WriteProjectFile(argv[2], files);
      return 0;
    }
    if (command == "peers") {
      rw::test::TPeerExpectation expect;
      expect.Pictures = std::atoi(argv[3]);
      expect.Seconds = expect.Pictures / 25.0;
      const auto complaints = rw::test::PeerComplaints(argv[2], expect);
      for (const std::string& c : complaints) std::cout << c << "\n";
      if (complaints.empty()) std::cout << "every peer read it whole\n";
      return complaints.empty() ? 0 : 1;
    }
  } catch (const std::exception& E) {
    std::cerr << E.what() << "\n";
    return 1;
  }
  std::cerr << "usage: bench_scale_tool sparse FILE FRAMES | project FILE LIST | peers FILE "
               "PICTURES\n";
  return 2;
}
