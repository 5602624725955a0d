// Path normalisation shared by every platform file call. Paths reach the
// platform written for Windows ("%s\\%s", "..\\data\\%s") or for Linux; both
// '\' and '/' are separators, and a run of separators counts as one:
//
//   "/opt/fh\\logs\\\\x.log"  ->  "/opt/fh/logs/x.log"
//   "..\\data\\x.xml"         ->  "../data/x.xml"
//   "\\\\server\\share"       ->  "/server/share"   (a leading run keeps the path absolute)
//   "logs\\"                  ->  "logs/"           (a trailing run stays one '/')
//
// Nothing else changes: "." and ".." stay, letter case stays, no drive
// letters are interpreted.
//
// Thread safety: pure functions.
#pragma once

#include <string>
#include <string_view>

namespace fh {

// The path with every run of '\' and '/' replaced by one '/'.
std::string NormalizePath(std::string_view path);

// The path without trailing '/' characters: "a/b//" -> "a/b", "/" -> "".
std::string_view WithoutTrailingSlashes(std::string_view path);

// The path without trailing '/' characters, its last '/'-separated component
// and the '/' characters before that: "a/b/c" -> "a/b", "a/b/" -> "a",
// "a//b" -> "a", "/a" -> "", "a" -> "". Only '/' separates here.
std::string_view ParentPart(std::string_view path);

// The directory part of a normalised path, as used to tell "file missing"
// (its directory exists) from "path missing": "a/b/c" -> "a/b", "c" -> ".",
// "/c" -> "/", "a/b/" -> "a" (the parent of the directory b).
std::string ParentOfNormalized(std::string_view normalized);

// The last component of a normalised path ("a/b/c" -> "c", "a/b/" -> "").
std::string_view LastComponent(std::string_view normalized);

}  // namespace fh
