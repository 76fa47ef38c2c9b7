// The built-in font's strokes.
#include "cadkit/font_builtin_data.h"

#include <iterator>

namespace kelvaro::cad {

const BuiltinGlyphDef kBuiltinGlyphs[] = {
    {U' ', "6:"},
};

const std::size_t kBuiltinGlyphCount = std::size(kBuiltinGlyphs);

}  // namespace kelvaro::cad
