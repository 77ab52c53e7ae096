// Every image of the skin archive: its file name and how it is drawn.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "skins/art/canvas.h"

namespace skin_art {

struct ArtPiece {
  std::string file;
  std::function<Canvas()> draw;
};

using Catalogue = std::vector<ArtPiece>;

// The colours every piece shares: warm darks, bronze and gold.
namespace tone {
inline Color Ink() { return Hex(0x0a0806); }
inline Color Night() { return Hex(0x16100c); }
inline Color Umber() { return Hex(0x2a1e14); }
inline Color BronzeDark() { return Hex(0x4a3420); }
inline Color Bronze() { return Hex(0x8a6636); }
inline Color Gold() { return Hex(0xd4a94f); }
inline Color GoldLight() { return Hex(0xf4da96); }
inline Color Parchment() { return Hex(0xeadbb8); }
inline Color Crimson() { return Hex(0x9c2416); }
inline Color CrimsonDark() { return Hex(0x420b06); }
inline Color Ash() { return Hex(0x4c4741); }
}  // namespace tone

// Button looks, one image each.
enum class State { kNormal, kHot, kPushed, kDisabled, kSelected };
const char* StateSuffix(State state);

void AddSceneArt(Catalogue* pieces);
void AddPanelArt(Catalogue* pieces);
void AddButtonArt(Catalogue* pieces);
void AddChoiceArt(Catalogue* pieces);

}  // namespace skin_art
