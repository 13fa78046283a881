#include "formats/value_builder.h"

namespace Kolm {

ValueBuilder::ValueBuilder(BindingProperty& root) : root(root) {
    frames.reserve(16);
}

}  // namespace Kolm
