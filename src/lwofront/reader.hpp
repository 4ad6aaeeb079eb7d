#pragma once
// The LWO2 reader: the IFF FORM of type LWO2 into the object model.

#include "error.hpp"
#include "lwofront/model.hpp"
#include "stream.hpp"

namespace lwofront {

// Checks the FORM header and reads chunks until the stream's window runs out.
Result<Object> process(stream::Stream& stream);
// The body after "FORM" and its length: the form type, then the chunks.
Result<Object> handle_form(stream::Stream& stream);

}  // namespace lwofront
