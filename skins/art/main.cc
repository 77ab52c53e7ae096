// Draws every skin image into the given directory, ready to be packed into
// bt.dat. The output depends on nothing but this code.
#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "skins/art/catalogue.h"
#include "skins/art/png_file.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  const std::string directory = std::string(argv[1]) + "/";
  skin_art::Catalogue pieces;
  skin_art::AddSceneArt(&pieces);
  skin_art::AddPanelArt(&pieces);
  skin_art::AddButtonArt(&pieces);
  skin_art::AddChoiceArt(&pieces);

  std::set<std::string> written;
  for (const skin_art::ArtPiece& piece : pieces) {
    if (!written.insert(piece.file).second) {
      std::fprintf(stderr, "%s is drawn twice\n", piece.file.c_str());
      return 1;
    }
    const std::string png = skin_art::EncodePng(piece.draw());
    std::ofstream out(directory + piece.file, std::ios::binary | std::ios::trunc);
    out.write(png.data(), std::streamsize(png.size()));
    if (png.empty() || !out.flush()) {
      std::fprintf(stderr, "cannot write %s%s\n", directory.c_str(), piece.file.c_str());
      return 1;
    }
  }
  return 0;
}
