// How the registry layer's log lines show a text argument that may be null.
//
// Thread safety: a pure function.
#pragma once

namespace fh {

// The text itself, or "(null)" for a null pointer (never passed to a %s).
inline const char* Printable(const char* text) { return text != nullptr ? text : "(null)"; }

}  // namespace fh
