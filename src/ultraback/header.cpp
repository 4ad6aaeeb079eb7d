#include "ultraback/header.hpp"

namespace ultraback {

std::string header_text(std::string_view object_name, bool with_draw_list) {
    const std::string name(object_name);
    const std::string guard = "QUILLMESH_" + name + "_H";
    std::string text = "/* Made by quillmesh from one object: its record";
    text += with_draw_list ? " and the display list that draws it.\n"
                             " * The draw list sets each layer's texture, combiner, primitive colour\n"
                             " * and lighting on or off; render mode, z-buffer, fog, lights and\n"
                             " * matrices stay the game's. */\n"
                           : ". */\n";
    text += "#ifndef " + guard + "\n#define " + guard + "\n\n#include \"myheader.h\"\n\n";
    text += "extern StaticMesh " + name + ";\n";
    if (with_draw_list) text += "extern Gfx " + name + "_draw[];\n";
    text += "\n#endif\n";
    return text;
}

}  // namespace ultraback
