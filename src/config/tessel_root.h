// The framework root: the directory an embedding application names through
// SetTesselRoot (or InitTessel). Configuration files are looked for below it
// ("<root>/data/<file>") and the framework's log "tessel.log" is written
// below it ("<root>/logs").
//
// The root is an owned copy of the caller's text: the caller's buffer may be
// released right after the call.
//
// Thread safety: every function may be called from any thread; the stored
// copy is guarded by one mutex. The pointer GetTesselRoot returns stays
// valid until the next SetTesselRoot with a text or ResetTesselRoot; an
// application sets the root once at start-up, before other threads read it.
// Callers that may race with a change use CopyTesselRoot.
#pragma once

#include <optional>
#include <string>

// Logs "@@@ Inside SetTesselRoot @@@\n" at trace level. A null root logs
// "Default Path Used" at debug level and leaves the root unchanged; any
// other text (also the empty text) becomes the root.
void SetTesselRoot(const char* root);

namespace fh {
// The root's text, or nullptr when no root was set. Not owned by the caller.
const char* GetTesselRoot();

// A copy of the root's text, or none when no root was set.
std::optional<std::string> CopyTesselRoot();

// Forgets the root (the state at process start). Used at shut-down and by
// tests.
void ResetTesselRoot();
}  // namespace fh
