#pragma once

// `draw ... paste IMAGE X,Y`, for the `draw` command to hand its paste tool to.
#include <string>
#include <vector>

#include "data/Record.h"

namespace quillane {

class OPattern;
class OPicture;

// The files the tool's words (those after "paste") read, so that the output can be checked
// against them before anything is opened. Throws CLI::ValidationError for words that are not
// IMAGE X,Y.
std::vector<std::string> DrawPasteInputs(const std::vector<std::string>& words);

// Pastes the image as the view's Paste of an image from another program does: its colours
// mapped as the bitmap import maps them, its bottom left pixel on picture pixel X,Y (from 0,
// as `paint` takes them), put down as one step "Paste". An image reaching past the picture
// is a usage error, a paint the view refuses fails with the view's words: a script never
// takes a pattern missing a cell it asked for.
void RunDrawPaste(OPattern& pattern, OPicture& picture, TView view,
                  const std::vector<std::string>& words);

} // namespace quillane
