// MessagePack, a byte form in which request bodies may arrive; read only.
//
// Every MessagePack family maps to one value kind: integers to Signed (positive and negative
// fixints, int 8-64) or Unsigned (uint 8-64), float 32/64 to Float, str to String, bin to Blob,
// nil to Empty, array to Collection, map to Structure (keys must be strings; a repeated key keeps
// its last value). ext, fixext and 0xC1 are invalid. The reader is iterative and stops after
// one complete root value; an input that ends inside a container is truncated data, like a
// string cut short (zero bytes are an Empty value). Limits: at most ValueBuilder::kMaxNestingDepth
// (512) containers open at once; declared counts and lengths are checked against the bytes actually
// present before anything is reserved or copied, and a map count whose item count (2 per entry)
// does not fit 32 bits is invalid data.
#pragma once

#include <cstddef>

#include "binding/binding_property.h"

namespace Kolm {

// Reads one value from `size` bytes at `bytes`; `consumed` (may be null) receives the number of
// bytes read, up to the failure when the input is malformed.
BindingResult ParseMessagePack(const void* bytes,
                               std::size_t size,
                               std::size_t* consumed = nullptr);

// True when the first byte opens a map or an array (fixmap, fixarray, array 16/32, map 16/32):
// how a body without a content type is recognised as MessagePack.
bool LooksLikeMessagePack(const void* bytes, std::size_t size);

}  // namespace Kolm
