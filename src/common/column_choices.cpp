#include "common/column_choices.h"

namespace vorn2shp {

const char* columnTypeName(ColumnType type) {
    switch (type) {
        case ColumnType::Integer:
            return "integer";
        case ColumnType::Real:
            return "real";
        case ColumnType::Text:
            break;
    }
    return "text";
}

}  // namespace vorn2shp
