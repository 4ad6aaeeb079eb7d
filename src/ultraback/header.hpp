#pragma once
// The header beside the C text (-H): what a game includes to name the record
// and, with -g, its draw list.

#include <string>
#include <string_view>

namespace ultraback {

// An include guard of the record's name, the C text's own include, and
// `extern StaticMesh NAME;`, with `with_draw_list` also `extern Gfx NAME_draw[];`.
std::string header_text(std::string_view object_name, bool with_draw_list);

}  // namespace ultraback
