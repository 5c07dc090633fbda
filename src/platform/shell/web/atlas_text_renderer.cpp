// The renderer TextOutA uses in a build without FreeType: glyphs from the atlas made by
// the native FreeType path at build time.
#include "web/glyph_atlas.h"
#include "win32/text_renderer.h"

namespace platform::detail {

TextRenderer& GdiTextRenderer() {
    static TextRenderer renderer(OpenAtlasGlyphs());
    return renderer;
}

}  // namespace platform::detail
