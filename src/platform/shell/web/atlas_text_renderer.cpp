// The renderer TextOutA uses in a build without FreeType: glyphs from the atlas made by
// the native FreeType path at build time.
#include "springdrop/shell/web/glyph_atlas.h"
#include "springdrop/shell/text_renderer.h"

namespace platform::detail {

TextRenderer& GdiTextRenderer() {
    static TextRenderer renderer(OpenAtlasGlyphs());
    return renderer;
}

}  // namespace platform::detail
