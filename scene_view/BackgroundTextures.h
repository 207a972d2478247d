// The background pictures of the 3D view as OpenGL textures, read from the program folder.
#pragma once

namespace zelk {

constexpr int kBackgroundCount = 4;

// Generates four texture names into `names` and fills texture n - 1 from
// "background/<n>.bmp" of the program folder (upright, RGB, clamped to its edge, linear,
// blend environment with white). A missing or unreadable picture leaves its
// texture empty. Needs a current context; leaves texturing off.
void LoadBackgroundTextures(unsigned names[kBackgroundCount]);

}  // namespace zelk
