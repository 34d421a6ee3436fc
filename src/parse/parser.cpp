#include "parser.h"

namespace vorn2shp {

bool Parser::initialize() { return true; }
bool Parser::parse() { return true; }

}  // namespace vorn2shp
