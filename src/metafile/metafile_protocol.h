// How Morvel and its metafile helper talk. Morvel starts
//   morvel-metafile FORMAT WIDTH HEIGHT PARENT
// FORMAT "emf" or "wmf", WIDTH x HEIGHT the view in device pixels (0 x 0:
// the natural size), PARENT Morvel's process id, with the metafile as its
// standard input. The helper answers on its standard output with a status
// byte, then for a picture its width and height (two native 32-bit
// integers) and its pixels (premultiplied ARGB, native order, rows packed),
// or the UTF-8 text of its refusal; it then ends.
#pragma once

namespace metafile::protocol {

constexpr char kHelperName[] = "morvel-metafile";
constexpr char kPicture = 'P';
constexpr char kRefused = 'R';
// Without a view to fit, a metafile is drawn at its own size, but no larger
// than this on either side.
constexpr int kLargestNaturalSide = 2048;
// The longest refusal read back.
constexpr int kLongestRefusal = 1024;

} // namespace metafile::protocol
